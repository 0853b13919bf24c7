#pragma once

#include <cstddef>
#include <cstdint>

namespace tervo::fuzz {

// One reader or check fed arbitrary bytes. Each must refuse or accept them without a memory
// error or undefined behaviour, and what it accepts must hold up (a re-written file gives the
// same bytes back); a broken promise aborts, which the fuzzer and the corpus test both report.
using FuzzFunction = void (*)(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name;  // also the folder of its corpus under tests/data/fuzz
    FuzzFunction run;
};

void fuzzWorkTemplate(const uint8_t* data, size_t size);
void fuzzRecordFile(const uint8_t* data, size_t size);
void fuzzRecordJournal(const uint8_t* data, size_t size);
void fuzzCurveFile(const uint8_t* data, size_t size);
void fuzzReplyCheck(const uint8_t* data, size_t size);
void fuzzHexText(const uint8_t* data, size_t size);
void fuzzSimTemplate(const uint8_t* data, size_t size);
void fuzzAlarmSettings(const uint8_t* data, size_t size);

inline constexpr FuzzTarget kFuzzTargets[] = {
    {"work_template", fuzzWorkTemplate},   {"record_file", fuzzRecordFile},
    {"record_journal", fuzzRecordJournal}, {"curve_file", fuzzCurveFile},
    {"reply_check", fuzzReplyCheck},       {"hex_text", fuzzHexText},
    {"sim_template", fuzzSimTemplate},     {"alarm_settings", fuzzAlarmSettings},
};

}  // namespace tervo::fuzz
