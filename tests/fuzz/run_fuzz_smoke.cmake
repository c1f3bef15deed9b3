# Runs one fuzzer for a few seconds over a fresh copy of its seed corpus.
# Crash, leak and timeout reproducers are kept in WORK/artifacts.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/artifacts)
file(COPY ${CORPUS}/ DESTINATION ${WORK}/corpus)
execute_process(
  COMMAND ${FUZZER} ${WORK}/corpus
          -max_total_time=${SECONDS} -timeout=5 -rss_limit_mb=1024
          -artifact_prefix=${WORK}/artifacts/ -print_final_stats=1
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); reproducers are in ${WORK}/artifacts")
endif()
