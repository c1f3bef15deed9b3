// Host table, settings and service address of a plugin library.
#include "frame.h"

#include <vorlo/ini.h>

#include <vorlo/text.h>

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstddef>
#include <cstring>

namespace {
const QLN_HOST_API *gHost = nullptr;

const char *SettingsPath() {
    return gHost && gHost->PluginsIniPath ? gHost->PluginsIniPath : nullptr;
}
} // namespace

void FrameSetHost(const QLN_HOST_API *host) { gHost = host; }

const QLN_HOST_API *FrameHost() { return gHost; }

void UnmarkFailedRelease(const char *release) {
    if (release && QLN_HostHasEntry(gHost, offsetof(QLN_HOST_API, UnmarkSeen)) && gHost->UnmarkSeen)
        gHost->UnmarkSeen(release);
}

void ReadTextSetting(const char *section, const char *key, char *buffer) {
    std::memset(buffer, 0, kSettingSize);
    if (const char *path = SettingsPath())
        IniReadString(path, section, key, buffer, kSettingSize, nullptr);
}

int ReadIntSetting(const char *section, const char *key, int def) {
    const char *path = SettingsPath();
    return path ? IniReadInt(path, section, key, def) : def;
}

std::string ReadServiceAddress(const char *section, const char *builtIn) {
    char value[kSettingSize];
    ReadTextSetting(section, "url", value);
    std::string address = value[0] ? value : builtIn;
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

std::string BoundedText(const char *text, size_t size) {
    return std::string(text, strnlen(text, size));
}

bool CheckAccountSettings(const char *user, const char *secret, const char *secretReason,
                          char *buffer, int size) {
    const char *reason = nullptr;
    if (!user[0])
        reason = "No User Set in Plugin";
    else if (!secret[0])
        reason = secretReason;
    if (!reason)
        return true;
    if (buffer && size > 0)
        std::snprintf(buffer, size_t(size), "%s", reason);
    return false;
}

bool AppendEscaped(std::string &url, const std::string &text) {
    const QLN_CURL_API *curl = gHost->Curl;
    char *escaped = curl->curl_escape(text.c_str(), static_cast<int>(text.size()));
    if (!escaped)
        return false;
    url += escaped;
    curl->curl_free(escaped);
    return true;
}

bool AppendQueryText(std::string &url, const std::string &text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t kept = 0;
        if (text[i] == '&' || text[i] == '=')
            kept = 1;
        else if (text[i] == '%' && i + 2 < text.size() &&
                 std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                 std::isxdigit(static_cast<unsigned char>(text[i + 2])))
            kept = 3;
        if (!kept)
            continue;
        if (i > start && !AppendEscaped(url, text.substr(start, i - start)))
            return false;
        url.append(text, i, kept);
        start = i + kept;
        i = start - 1;
    }
    return start >= text.size() || AppendEscaped(url, text.substr(start));
}

void LogEntryFailure(const char *plugin, const char *entry, const char *reason) {
    if (gHost && gHost->Log)
        gHost->Log("[%s] %s stopped: %s\n", plugin, entry, reason);
}

ShowNames NamesOfShow(const Show *show) {
    ShowNames names;
    names.names.push_back(BoundedText(show->ShowName, sizeof show->ShowName));
    // A show linked to TVmaze is also accepted under its akas, and a title
    // naming another year or country than the show's own is refused.
    const QLN_HOST_API *host = FrameHost();
    if (QLN_HostHasEntry(host, offsetof(QLN_HOST_API, GetShowInfo)) && host->GetShowInfo) {
        QLN_SHOW_INFO info;
        std::memset(&info, 0, sizeof info);
        info.Size = sizeof info;
        if (host->GetShowInfo(show, 0, 0, &info)) {
            info.Aliases[sizeof info.Aliases - 1] = '\0';
            info.Country[sizeof info.Country - 1] = '\0';
            std::string aliases = info.Aliases;
            size_t start = 0;
            for (size_t end; (end = aliases.find('\n', start)) != std::string::npos; start = end + 1)
                if (end > start)
                    names.names.push_back(aliases.substr(start, end - start));
            names.year = info.PremiereYear > 0 ? info.PremiereYear : 0;
            names.country = info.Country;
        }
    }
    return names;
}

bool IsWantedRelease(const char *title, const Show *show, int season, int episode) {
    return IsReleaseOf(title, NamesOfShow(show), season, episode);
}

bool HoldsEpisode(const char *title, int season, int episode) {
    return ReadReleaseTitle(title).Holds(season, episode);
}
