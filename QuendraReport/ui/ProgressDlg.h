#pragma once
// The progress window of a worker run: caption "Communicating" followed by
// the suffix, a text line and a bar of 0..range. Enter, Esc and the close
// button do nothing; the window closes only when the run ends (Finish). The
// end is latched: a Finish that arrives before the window is shown closes it
// as soon as it appears. The Cancel button shows only when cancelling is
// enabled; it sets the cancel flag that the worker reads.
// GUI thread only, except CancelFlag(), which a worker may read atomically.

#include <QDialog>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qui {

class CProgressDlg final : public QDialog {
public:
    explicit CProgressDlg(QWidget* parent = nullptr);

    // Before each run: bar range 0..range, Cancel button, caption suffix
    // (" 1/2", " 2/2" or empty). Clears the text line, the bar, the cancel
    // flag and the end latch, and starts a new run number.
    void SetParams(int range, bool cancelEnabled, const std::string& suffix);
    // The number of the run SetParams prepared last (calls queued for an
    // earlier run are recognised by it and dropped).
    int CurrentRun() const { return m_run; }
    // Shows the window modally until Finish; returns at once when Finish came first.
    void RunModal();

    void SetText(const char* text);
    void SetPos(int pos);
    // The run ended: closes the window now, or as soon as it is shown.
    void Finish();

    // Non-zero once Cancel was pressed (read by the worker through std::atomic_ref).
    const int* CancelFlag() const { return &m_cancel; }
    bool Finished() const { return m_finished; }

    QLabel* TextLine() const { return m_text; }
    QProgressBar* Bar() const { return m_bar; }
    QPushButton* CancelButton() const { return m_cancelButton; }

    void accept() override {}
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancelButton = nullptr;
    int m_cancel = 0;
    bool m_finished = false;
    int m_run = 0;
};

// The message line under the caption while the display is being talked to.
extern const char* const kProgressText;

}  // namespace qui
