// The key=value line protocol a package installer or an old uninstaller
// writes to its standard output, and its two parsers.
//
// The bytes of the child's output arrive in reads of arbitrary size. A child
// may split a line across two reads, so the parsers keep the incomplete last
// line of a read and join it to the next one; only complete lines are decoded,
// so a multi-byte character cut at a read boundary arrives whole. At the end of
// the output the incomplete last line counts as a line.
//
// Each line is decoded from the stream's code page (which an "Encode=" line
// changes for the lines after it) and matched against the keys in order; a key
// matches only at the start of the line, exactly and in the same case. Text
// values are everything after the "=" up to the end of the line (a "\r" before
// the "\n" stays), untrimmed, at most kMaxTextValue characters. Word values are
// trimmed of white space and compared exactly.
//
// Only the first final state of a run is reported ("State=Success",
// "State=Fail", "Error="): later ones are recognised but not reported, so a
// receiver never sees a run both succeed and fail. Other lines after a final
// state are still reported.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pipeline/stage_callback.h"

// Results of a chunk: no final state yet, success, failure.
constexpr int kConsoleResultNone = 0;
constexpr int kConsoleResultSuccess = 1;
constexpr int kConsoleResultFail = 1000;

// Text values longer than this are cut to this many characters.
constexpr size_t kMaxTextValue = 771;
// An incomplete line keeps at most this many bytes; the rest of an overlong
// line is dropped up to its "\n" (room for a key and the longest text value).
constexpr size_t kMaxLineBytes = 8192;

// The parser's memory over one run of a child.
struct ConsoleStream {
  std::string pending;                   // bytes of the incomplete last line
  int32_t code_page = 0;                 // for decoding; 0 is the ANSI code page
  int final_result = kConsoleResultNone; // the first final state of the run
};

enum class EndOfOutput { kNo, kYes };

// The package protocol. Parses the complete lines of |bytes| (and, with
// EndOfOutput::kYes, the incomplete last line), reporting 2002, 2003, 2004
// and 3000 to 3009. Returns stream.final_result: non-zero once the run has
// seen a final state (1 success, 1000 failure). "Encode=" takes "UTF8"
// (65001), "ACP" (0) or a code-page number; a number that is out of range,
// or names a code page the system cannot convert, gives 0.
int ParseConsoleChunk(std::string_view bytes, ConsoleStream& stream, const StageCallback& callback,
                      EndOfOutput end = EndOfOutput::kNo);

// The uninstall protocol: "Progress=" (5002), "Error=" (5005), "State="
// (5003 or 5005) and "Encode=" ("UTF8" gives 65001, anything else 0).
// Returns stream.final_result as ParseConsoleChunk does.
int ParseUninstallChunk(std::string_view bytes, ConsoleStream& stream, const StageCallback& callback,
                        EndOfOutput end = EndOfOutput::kNo);
