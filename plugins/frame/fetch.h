// Fetching one URL into memory through the host's libcurl entry points
// (plugins never call libcurl themselves), with the common failure messages
// written to the host's Log list.
#pragma once

#include <quillon/plugin.h>

#include <cstddef>
#include <cstdio>

// The answer of one transfer. `data` is null until the first byte arrives
// and is then always followed by one zero byte that `size` does not count,
// so the answer can be read as one terminated text. Released with free().
// `capacity` is the number of bytes allocated for `data`; it grows by
// doubling so that a large answer is not copied again for every block.
struct ReceiveBuffer {
    char *data = nullptr;
    size_t size = 0;
    size_t capacity = 0;
};

// An answer may grow to this many bytes; a larger one fails the transfer so
// that a hostile or broken server cannot exhaust memory.
constexpr size_t kMaxAnswerBytes = size_t(64) * 1024 * 1024;

// libcurl write callback: appends one block to the ReceiveBuffer passed as
// write data. Takes fewer bytes than offered (which
// makes libcurl fail the transfer) when the answer would exceed
// kMaxAnswerBytes or memory runs out.
size_t AppendReceived(char *block, size_t size, size_t count, void *buffer);

// Per-plugin variations of a transfer.
struct FetchOptions {
    // Set as CURLOPT_USERPWD right after the URL when not null.
    const char *userPwd = nullptr;
    // Redirects followed (up to three); when false none is.
    bool followRedirects = true;
    // Form text sent as a POST (CURLOPT_COPYPOSTFIELDS, after the write
    // data) when not null; the caller escapes its values.
    const char *postFields = nullptr;
    // CURLOPT_CONNECTTIMEOUT in seconds, set last, when above 0.
    long connectTimeoutSeconds = 0;
    // Format for a failed transfer; its one argument is libcurl's text.
    const char *downloadFailedFormat = "Error downloading URL: %s\n";
    // Line for a transfer handle that could not be made.
    const char *noHandleMessage = "Error creating CURL handle!\n";
    // Both lines go to the Downloads list instead of Log when set.
    bool reportToDownloads = false;
};

enum class FetchResult { Ok, NoHandle, Failed };

// Fetches `url` into `answer` (which the caller frees with FreeReceived):
// redirects followed up to three, an HTTP status of 400 or more is a
// failure, TLS peers are verified. Writes "Error creating CURL handle!\n" or
// the options' failure line to Log when it does not return Ok.
FetchResult FetchToMemory(const char *url, const FetchOptions &options, ReceiveBuffer &answer);

// Fetches `url` into `file` (opened for writing by the caller, who closes
// it) with the same options and messages as FetchToMemory. A file that
// cannot take all the bytes, or cannot be flushed, fails the transfer.
FetchResult FetchToFile(const char *url, const FetchOptions &options, FILE *file);

// libcurl write callback for a transfer straight into the FILE passed as
// write data.
size_t WriteToFile(char *block, size_t size, size_t count, void *file);

// Releases the answer's bytes and empties it.
void FreeReceived(ReceiveBuffer &answer);

// An answer released on every way out of the scope that holds it.
struct AnswerGuard {
    ReceiveBuffer answer;
    AnswerGuard() = default;
    AnswerGuard(const AnswerGuard &) = delete;
    AnswerGuard &operator=(const AnswerGuard &) = delete;
    ~AnswerGuard() { FreeReceived(answer); }
};
