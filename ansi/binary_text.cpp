#include "ansi/binary_text.h"

#include "ansi/art_bytes.h"

namespace {

constexpr int kDefaultWidth = 160;
constexpr uint8_t kBinaryTextData = 5;

bool RecordGivesWidth(const Sauce& record) {
    return record.Present && record.DataType == kBinaryTextData && record.Width > 0;
}

}  // namespace

bool ReadBinaryText(std::string_view data, Art& art, ArtProblem& problem) {
    const Sauce& record = art.Record;
    const int width = RecordGivesWidth(record) ? record.Width : kDefaultWidth;
    if (!CheckWidth(static_cast<uint64_t>(width), RecordFieldOffset(data, record, kRecordFileType), problem))
        return false;
    data = WithoutEndOfFile(data, record);
    const std::size_t pairs = data.size() / 2;
    if (pairs == 0) return Refuse(problem, 0, "the file holds no character and attribute pair");
    const std::size_t columns = static_cast<std::size_t>(width);
    const std::size_t rows = (pairs + columns - 1) / columns;
    if (!CheckHeight(rows, columns * TCanvas::MaxRows * 2, problem)) return false;

    art.BrightBackgrounds = record.Present && record.IceColours;
    const PairLook look = StandardLook(art.BrightBackgrounds);
    art.Canvas = TCanvas(width);
    CellRows(art.Canvas, look, columns, pairs).PutPairs(data);
    return true;
}
