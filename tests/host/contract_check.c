/* Compiled (syntax only) as C and C++, for 32- and 64-bit targets: the
 * contract header's layout assertions hold, and a plugin can call through
 * every kind of table entry, including the Curl table's curl_easy_setopt. */
#include "quillon/plugin.h"

static char name[64] = "Show Name 1x02";

bool UseHost(const QLN_HOST_API *host, const Show *show) {
    CURL *handle = host->Curl->curl_easy_init();
    if (!handle)
        return false;
    host->Curl->curl_easy_setopt(handle, CURLOPT_URL, "http://127.0.0.1/");
    host->Curl->curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    CURLcode code = host->Curl->curl_easy_perform(handle);
    host->Curl->curl_easy_cleanup(handle);
    host->MakeFileName(name, ".nzb");
    host->Log("%s %d: %s", show->ShowName, show->Season, host->Curl->curl_easy_strerror(code));
    void *block = host->Mem->zmalloc(16, __FILE__, __LINE__);
    host->Mem->zfree(block, __FILE__, __LINE__);
    return code == CURLE_OK && host->DownloadFile("http://127.0.0.1/x.nzb", false);
}
