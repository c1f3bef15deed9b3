// Plugin-side frame: the host table kept from Init, the plugin's settings in
// plugins.ini and its service address. Every plugin library links this
// privately; all state here is library-wide and needs no lock, because the
// host never runs Search alongside Init, GetStatus or Configure.
#pragma once

#include <quillon/plugin.h>
#include <vorlo/release.h>

#include <exception>
#include <new>
#include <string>

// Size of every text setting buffer: at most 255 characters and the terminator.
constexpr int kSettingSize = 256;

// Keeps the host's service table for every later call (Init).
void FrameSetHost(const QLN_HOST_API *host);
// The table kept by FrameSetHost; null before Init.
const QLN_HOST_API *FrameHost();

// Clears `buffer` (kSettingSize bytes) and reads key `key` of section
// `section` of plugins.ini into it. A missing file, section or key leaves it
// empty; a longer value arrives cut to 255 characters.
void ReadTextSetting(const char *section, const char *key, char *buffer);
// A numeric setting of plugins.ini; `def` when the key is missing.
int ReadIntSetting(const char *section, const char *key, int def);

// The address of the plugin's index service (scheme, host, optional port):
// key "url" of the plugin's own section of plugins.ini, else `builtIn`.
// Trailing slashes are dropped so that paths can be appended directly.
std::string ReadServiceAddress(const char *section, const char *builtIn);

// Text of `text` up to its terminator but never past `size` bytes: the
// fields of a Show record are read through this so that a record without a
// terminator cannot be overread.
std::string BoundedText(const char *text, size_t size);

// The readiness test of a plugin with an account: the user name first, then
// the second setting (password or API key). At the first empty one its reason
// ("No User Set in Plugin" or `secretReason`) is copied into `buffer` (when
// not null, bounded by `size`) and false returned; true when both are set.
bool CheckAccountSettings(const char *user, const char *secret, const char *secretReason,
                          char *buffer, int size);

// Appends `text` escaped with the host's curl_escape to `url`; false when
// escaping failed.
bool AppendEscaped(std::string &url, const std::string &text);

// Appends free text that the user typed for a query (a show's keywords):
// escaped like AppendEscaped, except that "&", "=" and escapes already
// written ("%" and two hexadecimal digits) stay as typed, so a user can still
// add query keys or spell a character out. False when escaping failed.
bool AppendQueryText(std::string &url, const std::string &text);

// Writes "[<plugin>] <entry> stopped: <reason>\n" to the Log list (when the
// host table is known).
void LogEntryFailure(const char *plugin, const char *entry, const char *reason);

// Runs `body`, the work of an entry point that the host calls through the C
// contract, and returns its result. No exception may cross into the host
// (memory running out inside the standard library throws): one ends the call
// with `failure` and a line in the Log list.
template <class Result, class Body>
Result GuardEntry(const char *plugin, const char *entry, Result failure, Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        LogEntryFailure(plugin, entry, "out of memory");
    } catch (const std::exception &error) {
        LogEntryFailure(plugin, entry, error.what());
    } catch (...) {
        LogEntryFailure(plugin, entry, "unexpected error");
    }
    return failure;
}

// The names under which a show's releases are taken: for now only the name
// the user typed (ShowName).
ShowNames NamesOfShow(const Show *show);
// True when `title` names the show (NamesOfShow) and holds episode `episode`
// of season `season`, read with ReadReleaseTitle: the rule of the plugins
// whose service searches by words.
bool IsWantedRelease(const char *title, const Show *show, int season, int episode);
// True when `title` holds the episode, whatever show it names: the rule of
// the plugins whose service already searched for the show's exact name.
bool HoldsEpisode(const char *title, int season, int episode);
