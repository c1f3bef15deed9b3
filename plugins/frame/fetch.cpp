// In-memory fetch of one URL through the host's libcurl table.
#include "fetch.h"

#include "frame.h"

#include <cstdlib>
#include <cstring>

size_t AppendReceived(char *block, size_t size, size_t count, void *buffer) {
    ReceiveBuffer *answer = static_cast<ReceiveBuffer *>(buffer);
    if (count != 0 && size > kMaxAnswerBytes / count)
        return 0;
    size_t n = size * count;
    if (n == 0)
        return 0;
    if (n > kMaxAnswerBytes - answer->size)
        return 0;
    size_t needed = answer->size + n + 1;
    if (needed > answer->capacity) {
        size_t capacity = answer->capacity ? answer->capacity : 4096;
        while (capacity < needed)
            capacity *= 2;
        if (capacity > kMaxAnswerBytes + 1)
            capacity = kMaxAnswerBytes + 1;
        char *grown = static_cast<char *>(std::realloc(answer->data, capacity));
        if (!grown)
            return 0;
        answer->data = grown;
        answer->capacity = capacity;
    }
    if (n)
        std::memcpy(answer->data + answer->size, block, n);
    answer->size += n;
    answer->data[answer->size] = '\0';
    return n;
}

void FreeReceived(ReceiveBuffer &answer) {
    std::free(answer.data);
    answer.data = nullptr;
    answer.size = 0;
    answer.capacity = 0;
}

size_t WriteToFile(char *block, size_t size, size_t count, void *file) {
    return std::fwrite(block, 1, size * count, static_cast<FILE *>(file));
}

namespace {

// One transfer of `url` into `write` / `data`, options set in one order for
// every plugin.
FetchResult Transfer(const char *url, const FetchOptions &options, curl_write_callback write, void *data,
                     FILE *flushFile) {
    const QLN_HOST_API *host = FrameHost();
    const QLN_CURL_API *curl = host->Curl;
    auto report = options.reportToDownloads ? host->LogDownload : host->Log;
    CURL *handle = curl->curl_easy_init();
    if (!handle) {
        report("%s", options.noHandleMessage);
        return FetchResult::NoHandle;
    }

    // TLS peer verification stays at libcurl's default (on): an impostor
    // answering for the service could otherwise hand the user any file, and
    // the account plugins' requests carry the user's password or API key.
    curl->curl_easy_setopt(handle, CURLOPT_URL, url);
    if (options.userPwd)
        curl->curl_easy_setopt(handle, CURLOPT_USERPWD, options.userPwd);
    if (options.followRedirects) {
        curl->curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
        curl->curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 3L);
    }
    curl->curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl->curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, write);
    curl->curl_easy_setopt(handle, CURLOPT_WRITEDATA, data);
    if (options.postFields)
        curl->curl_easy_setopt(handle, CURLOPT_COPYPOSTFIELDS, options.postFields);
    curl->curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 1L);
    if (options.connectTimeoutSeconds > 0)
        curl->curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, options.connectTimeoutSeconds);

    CURLcode code = curl->curl_easy_perform(handle);
    curl->curl_easy_cleanup(handle);
    // A file that could not be completed on disk holds no usable answer.
    if (code == CURLE_OK && flushFile && std::fflush(flushFile) != 0)
        code = CURLE_WRITE_ERROR;
    if (code != CURLE_OK) {
        // Only the host's guard aborts a transfer, on Stop Scan or exit,
        // which the host has logged itself: that is no failure to report.
        if (code != CURLE_ABORTED_BY_CALLBACK)
            report(options.downloadFailedFormat, curl->curl_easy_strerror(code));
        return FetchResult::Failed;
    }
    return FetchResult::Ok;
}

} // namespace

FetchResult FetchToMemory(const char *url, const FetchOptions &options, ReceiveBuffer &answer) {
    FreeReceived(answer);
    FetchResult result = Transfer(url, options, AppendReceived, &answer, nullptr);
    if (result != FetchResult::Ok)
        FreeReceived(answer);
    return result;
}

FetchResult FetchToFile(const char *url, const FetchOptions &options, FILE *file) {
    return Transfer(url, options, WriteToFile, file, file);
}
