// The installer's analytics: one start-up routine, one shut-down routine and
// four report routines over the tracker. The rest of the installer calls only
// these; none of it touches the tracker directly. Every routine is switched by
// InstallerSettings::IsEnableAppSensors and none of them ever throws.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kavrin::usage {
class UsageTracker;
class KvContextProperties;
enum class KvEventType : int;
}

// Extra properties handed to a report routine, passed by value. Only the key
// "AB" is read (the experiment group, "IN" in practice); other keys are ignored.
using EventExtras = std::map<std::wstring, std::wstring>;

// A shared reference to the process-wide tracker: empty before StartTracker and
// after StopTracker. Each report holds its own reference for the length of the
// call, so StopTracker may run while a worker thread is still reporting.
std::shared_ptr<kavrin::usage::UsageTracker> GlobalTracker();

// Creates the tracker from the settings record and makes it the global one.
// Called once at start-up; never fails outwards.
void StartTracker();

// Drops the global reference; the last owner shuts the tracker down, which
// makes its final upload attempts.
void StopTracker();

// One task event ("KvEventTask"): |name|, |elapsed| seconds (always sent, also
// when 0) and |reason| (sent when not empty), with the result "Success".
void ReportTaskEvent(const std::wstring& name, float elapsed, const std::wstring& reason,
                     EventExtras extras);

// One click event ("KvEventClick") for the button word |word|.
void ReportClickEvent(const std::wstring& word, EventExtras extras);

// One view event ("KvEventView") for the page word "安装中".
void ReportViewEvent(EventExtras extras);

// One crash event ("AppCrashed", reason "崩溃"); also uploads everything queued.
void ReportCrashEvent();

// Attaches the "AB" value of |extras| as "kvc_ab" to the listed event types of
// |context|. An empty or missing value adds nothing; a malformed one (not one
// to three characters A-Z/0-9 starting with a letter) is dropped and the event
// goes out without it.
void ApplyAbProperty(const EventExtras& extras, const std::vector<kavrin::usage::KvEventType>& types,
                     kavrin::usage::KvContextProperties& context);

// Reasons are formatted into a buffer of this many characters, terminator
// included. FitReason cuts a longer text to 199 characters without splitting
// a character.
constexpr size_t kReasonBufferChars = 200;
std::wstring FitReason(const std::wstring& reason);

// The collection endpoint StartTracker hands the tracker: empty (the
// default) means the tracker's own endpoint. Tests and demos point it at a
// local collector before StartTracker.
void SetTrackerServerUrl(const std::wstring& url);
std::wstring TrackerServerUrl();
