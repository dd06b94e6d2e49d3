// The results page's feedback window: the user's e-mail address and
// suggestion, sent as one mail on a thread of its own so that a slow or
// unreachable mail server never holds up the window.
#pragma once

#include <QDialog>
#include <QString>
#include <thread>
#include <vector>

class QLineEdit;

namespace marlowen::gui {

class ZNFeedBackView;

class FeedbackWindow : public QDialog {
    Q_OBJECT
public:
    explicit FeedbackWindow(QWidget* parent);
    // Waits for the mails on their way; each ends within the SMTP timeout.
    ~FeedbackWindow() override;

    // Shows the window with empty fields, centred on the screen; a window
    // already on show only has its fields emptied.
    void showEmpty();
    // Sends the fields' texts and hides the window.
    void send();
    // The mail body of the fields' texts.
    QString mailBody() const;

    QLineEdit* emailField() const { return feedbackEmailVaule_; }
    ZNFeedBackView* suggestionView() const { return feedbackView_; }

private:
    QLineEdit* feedbackEmailVaule_ = nullptr;
    ZNFeedBackView* feedbackView_ = nullptr;
    std::vector<std::thread> sendEmailThreaders_;
};

}  // namespace marlowen::gui
