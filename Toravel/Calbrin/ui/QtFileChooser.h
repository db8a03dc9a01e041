#pragma once
// The white balance tool's file dialogs: "WhiteBalanceData (*.wni)", default
// extension "wni"; the save dialog asks before replacing a file. GUI thread only.

#include <calbrin/WhiteBalanceTool.h>

class QWidget;

namespace calbrin {

class QtFileChooser final : public IFileChooser {
public:
    void SetOwner(QWidget* owner) { m_owner = owner; }
    std::optional<std::filesystem::path> ChooseSaveFile(const std::filesystem::path& dir,
                                                        const std::u16string& proposedName) override;
    std::optional<std::filesystem::path> ChooseOpenFile(const std::filesystem::path& dir) override;

private:
    QWidget* m_owner = nullptr;
};

}  // namespace calbrin
