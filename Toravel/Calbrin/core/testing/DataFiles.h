#pragma once
// What the white balance tests share: data files in which cell (column c,
// row r) holds base + 10 * c + r, so every cell is distinct, and file dialogs
// that answer with a set path.

#include <string>
#include <vector>

#include <calbrin/WhiteBalanceTool.h>
#include <common/codepage.h>

namespace calbrin_test {

class FakeFiles : public calbrin::IFileChooser {
public:
    std::optional<std::filesystem::path> ChooseSaveFile(const std::filesystem::path& dir,
                                                        const std::u16string& proposed) override {
        ++saveAsked;
        saveDir = dir;
        proposedName = cmn::Utf16ToUtf8(proposed);
        return saveAnswer;
    }
    std::optional<std::filesystem::path> ChooseOpenFile(const std::filesystem::path&) override { return openAnswer; }

    std::optional<std::filesystem::path> saveAnswer, openAnswer;
    int saveAsked = 0;
    std::filesystem::path saveDir;
    std::string proposedName;
};

struct DataSample {
    std::string mode;
    std::string panel = "RGB";
    std::string series = "00000000000000";
    std::string serial = "SN1";
    std::vector<std::string> models = {"QM-X003"};
    int base = 100;
};

inline int CellOf(const DataSample& d, int column, int row) { return d.base + 10 * column + row; }

inline std::string DataFileText(const DataSample& d) {
    std::string t = "[GENERAL]\r\nSERIESID=" + d.series + "\r\nSERIALNUMBER=" + d.serial + "\r\n";
    for (std::size_t i = 0; i < d.models.size(); ++i)
        t += "MODELNAME" + std::to_string(i + 1) + "=" + d.models[i] + "\r\n";
    t += "TOOLMODE=" + d.mode + "\r\nADV_PANELCOLOR=" + d.panel + "\r\n";
    const char* sections[] = {"LEVEL", "RED GAIN", "GREEN GAIN", "BLUE GAIN", "YELLOW GAIN", "VAL GAIN"};
    for (int c = 0; c < 6; ++c) {
        t += std::string("[") + sections[c] + "]\r\n";
        for (int r = 1; r <= 6; ++r) t += "Data" + std::to_string(r) + "=" + std::to_string(CellOf(d, c, r)) + "\r\n";
    }
    return t;
}

}  // namespace calbrin_test
