#pragma once
// The "Temp Log" page: a read-only, white text area with both scroll bars
// and no line wrapping, showing the temperature view's page text (CP932
// bytes with CR LF line ends, converted for display). GUI thread only.

#include <QPlainTextEdit>
#include <string_view>

namespace qui {

class TempLogView final : public QPlainTextEdit {
public:
    explicit TempLogView(QWidget* parent = nullptr);
    void ShowText(std::string_view pageText);
};

}  // namespace qui
