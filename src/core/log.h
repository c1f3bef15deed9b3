// The "Log" and "Downloads" lists: printf-style, thread-safe writers that stamp
// each line of a message and hand the entries to the front end.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "frontend.h"
#include "vorlo/lock.h"

extern Mutex LogLock;

int Log(const char *format, ...) __attribute__((format(printf, 1, 2)));
int LogDownload(const char *format, ...) __attribute__((format(printf, 1, 2)));
int LogTo(LogTarget list, const char *format, va_list args);

// Shows a text in status-bar part 0 and writes it to the Log as well.
void SetStatus(const wchar_t *text);

// The core's own copy of each list, bounded as the window's (at most 250 old
// entries plus the lines of the newest message).
std::vector<std::wstring> LogEntries(LogTarget list);
void ClearLogEntries();
