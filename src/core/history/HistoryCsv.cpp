#include "history/HistoryCsv.h"

#include <charconv>
#include <sstream>

#include "io/FileIo.h"
#include "text/Gbk.h"
#include "text/TimeText.h"

namespace tervo {

namespace {

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string fullPrecision(double v) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return std::string(text, end);
}

std::string eventName(const WorkDefinition& work, int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= work.events.size()) {
        return "#" + std::to_string(index);
    }
    return gbkToUtf8(work.events[static_cast<size_t>(index)].nameGbk());
}

}  // namespace

void writeRowsCsv(std::ostream& csv, const Recording& rec) {
    csv << "时间";
    for (const ChannelInfo& c : rec.definition.channels) {
        csv << ',' << csvField(gbkToUtf8(c.nameGbk()));
    }
    csv << '\n';
    for (size_t row = 0; row < rec.rowCount(); ++row) {
        csv << timeStampText(rec.times[row]);
        for (size_t c = 0; c < rec.channelCount(); ++c) {
            const double v = rec.value(row, c);
            csv << ',' << (isNoValue(v) ? std::string() : fullPrecision(v));
        }
        csv << '\n';
    }
}

void writeEventsCsv(std::ostream& events, const Recording& rec) {
    events << "时间,事件\n";
    for (const EventOccurrence& occurrence : rec.occurrences) {
        events << timeStampText(occurrence.time) << ','
               << csvField(eventName(rec.definition, occurrence.event)) << '\n';
    }
}

std::string eventsCsvPath(const std::string& csvPath) {
    const size_t slash = csvPath.find_last_of('/');
    const size_t dot = csvPath.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        return csvPath.substr(0, dot) + "_events.csv";
    }
    return csvPath + "_events.csv";
}

bool exportHistoryCsv(const std::string& csvPath, const Recording& recording) {
    const std::string bom = "\xEF\xBB\xBF";
    std::ostringstream rows;
    rows << bom;
    writeRowsCsv(rows, recording);
    std::ostringstream events;
    events << bom;
    writeEventsCsv(events, recording);
    auto bytes = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    return writeFileAtomically(csvPath, bytes(rows.str())) &&
           writeFileAtomically(eventsCsvPath(csvPath), bytes(events.str()));
}

}  // namespace tervo
