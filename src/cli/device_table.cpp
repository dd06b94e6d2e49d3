#include "cli/device_table.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <string>

namespace marlowen::cli {
namespace {

constexpr std::size_t kColumns = 8;
using Row = std::array<std::string, kColumns>;

std::string printable(const std::string& value) {
    std::string out = value;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return out;
}

// Width on screen, counting UTF-8 sequences as one column each.
std::size_t columnsOf(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

Row rowOf(const ZNIOSDeviceNode& node) {
    return {printable(node.strDeviceName()),   printable(node.strDeviceType()),
            printable(node.strIOSVersion()),   printable(node.strDeviceBackUpTime()),
            printable(node.strDeviceSerial()), printable(node.strDeviceSize()),
            printable(node.backUpFilePath()),  node.bEncrypted() ? "encrypted" : ""};
}

}  // namespace

void writeDeviceTable(std::ostream& out, const std::vector<DeviceNodePtr>& devices) {
    std::vector<Row> rows{
        {"Name", "Model", "iOS", "Backup time", "Serial", "Size", "Path", "Encrypted"}};
    for (const DeviceNodePtr& node : devices) rows.push_back(rowOf(*node));

    std::array<std::size_t, kColumns> widths{};
    for (const Row& row : rows)
        for (std::size_t i = 0; i < kColumns; ++i)
            widths[i] = std::max(widths[i], columnsOf(row[i]));

    for (const Row& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < kColumns; ++i) {
            line += row[i];
            if (i + 1 < kColumns) line.append(widths[i] - columnsOf(row[i]) + 2, ' ');
        }
        // No padding after the last cell.
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    }
}

}  // namespace marlowen::cli
