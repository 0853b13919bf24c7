#pragma once

#include <QString>
#include <cstdint>

#include "gui/history/HistoryPicture.h"

class QPainter;

namespace tervo::gui {

// What one page of the printed report reads: the picture state (printing set), the file path
// and the moment of printing.
struct HistoryReportInput {
    HistoryPictureInput picture;
    QString path;
    int64_t printedAt = 0;
};

// Draws page `page` (1-based) of the report in printer units of 1/600 inch: the header block,
// then by mode the picture with its channel block, the table page or the event table.
void paintHistoryReportPage(QPainter& painter, const HistoryReportInput& input, int page);

}  // namespace tervo::gui
