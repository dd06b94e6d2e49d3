// The preview of the selected record beside each result table.
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QMediaPlayer>
#include <QVBoxLayout>
#include <QVideoWidget>

#include "gui/heif_image.h"
#include "gui/result_table_model.h"
#include "gui/result_view_style.h"
#include "gui/zn_controls.h"
#include "gui/zn_result_page.h"
#include "gui/zn_result_view_controller.h"

namespace marlowen::gui {

QLabel* ZNResultViewController::addPreviewLabel(QLayout* layout, const char* name) {
    auto* label = new QLabel;
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(lucida(11));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    return label;
}

ZNTextView* ZNResultViewController::addPreviewText(QLayout* layout, const char* view,
                                                   const char* scroll) {
    auto* text = new ZNTextView;
    text->setObjectName(QString::fromLatin1(view));
    text->setProperty("scrollName", QString::fromLatin1(scroll));
    text->setFont(lucida(11));
    layout->addWidget(text);
    return text;
}

static QWidget* previewFrame(QVBoxLayout** layout) {
    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    *layout = new QVBoxLayout(frame);
    (*layout)->setContentsMargins(8, 8, 8, 8);
    return frame;
}

QWidget* ZNResultViewController::buildPhotoPreview() {
    QVBoxLayout* l = nullptr;
    QWidget* frame = previewFrame(&l);
    auto* holder = new QWidget;
    holder->setObjectName(QStringLiteral("priviewImageVideoView"));
    auto* hl = new QVBoxLayout(holder);
    hl->setContentsMargins(0, 0, 0, 0);
    imageView_ = new QLabel;
    imageView_->setObjectName(QStringLiteral("imageView"));
    imageView_->setAlignment(Qt::AlignCenter);
    imageView_->setMinimumSize(200, 200);
    movView_ = new QVideoWidget;
    movView_->setObjectName(QStringLiteral("movView"));
    movView_->setMinimumSize(200, 200);
    player_ = new QMediaPlayer(this);
    player_->setVideoOutput(movView_);
    // A file that does not open as a movie is shown by its file icon.
    connect(player_, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error error, const QString& why) {
                if (error == QMediaPlayer::NoError) return;
                showMovieIcon(error == QMediaPlayer::FormatError
                                  ? tr("its format or codec is not known here")
                                  : (why.isEmpty() ? tr("it does not open") : why));
            });
    // A file that opens but holds no picture to play is no movie either.
    connect(player_, &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus status) {
                if (status == QMediaPlayer::InvalidMedia)
                    showMovieIcon(tr("its format or codec is not known here"));
                else if ((status == QMediaPlayer::LoadedMedia ||
                          status == QMediaPlayer::BufferedMedia) &&
                         !player_->hasVideo())
                    showMovieIcon(tr("it holds no video track"));
            });
    hl->addWidget(imageView_);
    hl->addWidget(movView_);
    imageView_->hide();
    movView_->hide();
    movieNote_ = new QLabel;
    movieNote_->setObjectName(QStringLiteral("movieNotelab"));
    movieNote_->setFont(lucida(11));
    movieNote_->setWordWrap(true);
    movieNote_->setAlignment(Qt::AlignCenter);
    movieNote_->hide();
    hl->addWidget(movieNote_);
    l->addWidget(holder, 1);
    addPreviewLabel(l, "imageFileNamelab");
    addPreviewLabel(l, "imageFileSizelab");
    return frame;
}

QWidget* ZNResultViewController::buildContactPreview() {
    QVBoxLayout* l = nullptr;
    QWidget* frame = previewFrame(&l);
    for (const char* n : {"contactPicturelab", "contactNamelab", "contactPhonelab",
                          "contactEmaillab", "contactHomePagelab", "contactAdresslab",
                          "contactCompanylab", "contactJobTitlelab", "contactBirthdaylab"})
        addPreviewLabel(l, n);
    addPreviewText(l, "contactNotelab", "contactNoteScrollView");
    l->addStretch();
    return frame;
}

QWidget* ZNResultViewController::buildMessagePreview() {
    QVBoxLayout* l = nullptr;
    QWidget* frame = previewFrame(&l);
    for (const char* n : {"messageNamelab", "messagePhonelab", "messageTypelab", "messageDatelab"})
        addPreviewLabel(l, n);
    addPreviewText(l, "messageConteView", "messageScrollView");
    return frame;
}

QWidget* ZNResultViewController::buildNotePreview() {
    QVBoxLayout* l = nullptr;
    QWidget* frame = previewFrame(&l);
    for (const char* n : {"noteTitlelab", "noteDatelab", "noteFolderlab", "noteStatelab"})
        addPreviewLabel(l, n);
    addPreviewText(l, "noteContentView", "noteScrollView");
    return frame;
}

QWidget* ZNResultViewController::buildCallPreview() {
    QVBoxLayout* l = nullptr;
    QWidget* frame = previewFrame(&l);
    for (const char* n :
         {"callNamelab", "callPhonelab", "callTypelab", "callTimelab", "callDatelab"})
        addPreviewLabel(l, n);
    l->addStretch();
    return frame;
}

void ZNResultViewController::showPreview(ResultCategory c, int row) {
    (this->*page(c).showRow)(row);
}

// The label `label`'s text: `format` with "%@" replaced by `value`.
void ZNResultViewController::setPreviewLabel(const char* label, const char* format,
                                             const std::string& value) {
    if (QLabel* l = previewLabel(label))
        l->setText(tr(format).replace(QLatin1String("%@"), withoutLeadingBlanks(qs(value))));
}

ZNTextView* ZNResultViewController::setPreviewText(const char* view, const std::string& value) {
    auto* v = findChild<ZNTextView*>(QString::fromLatin1(view));
    if (v) v->setString(qs(value));
    return v;
}

void ZNResultViewController::showPhotoPreview(int row) {
    const auto node = photoModel_->nodeAt(row);
    if (!node) return;
    movieNote_->clear();
    movieNote_->hide();
    if (node->bmov()) {
        imageView_->hide();
        movView_->show();
        player_->stop();
        player_->setSource(QUrl::fromLocalFile(qs(node->filePath())));
        player_->play();
    } else {
        player_->stop();
        player_->setSource(QUrl());
        movView_->hide();
        imageView_->show();
        QImageReader reader(qs(node->filePath()));
        reader.setAutoTransform(true);
        QImage image = reader.read();
        if (image.isNull()) image = heifImage(qs(node->filePath()));
        imageView_->setPixmap(image.isNull()
                                  ? QPixmap()
                                  : QPixmap::fromImage(image.scaled(220, 220, Qt::KeepAspectRatio,
                                                                    Qt::SmoothTransformation)));
    }
    setPreviewLabel("imageFileNamelab", "File Name: %@", node->fileNodeName());
    setPreviewLabel("imageFileSizelab", "File Size: %@", node->fileNodeSize());
}

void ZNResultViewController::showContactPreview(int row) {
    const auto node = contactModel_->nodeAt(row);
    if (!node) return;
    const std::pair<const char*, std::pair<const char*, const std::string*>> lines[] = {
        {"contactNamelab", {"Name: %@", &node->contactName()}},
        {"contactPhonelab", {"Phone: %@", &node->contactPhone()}},
        {"contactEmaillab", {"Email: %@", &node->contactEmail()}},
        {"contactHomePagelab", {"HomePage: %@", &node->contactHomepage()}},
        {"contactAdresslab", {"Address: %@", &node->contactAdress()}},
        {"contactCompanylab", {"Company: %@", &node->contactCompany()}},
        {"contactJobTitlelab", {"JobTitle: %@", &node->contactJobtitle()}},
        {"contactBirthdaylab", {"Birthday: %@", &node->contactBirthday()}},
    };
    for (const auto& [label, fv] : lines) {
        setPreviewLabel(label, fv.first, *fv.second);
        if (QLabel* l = previewLabel(label)) l->setVisible(!fv.second->empty());
    }
    if (ZNTextView* v = setPreviewText("contactNotelab", node->contactNote()))
        v->setVisible(!node->contactNote().empty());
    if (QLabel* picture = previewLabel("contactPicturelab")) {
        const std::string& bytes = node->picture();
        const QImage image = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                                              static_cast<int>(bytes.size()));
        picture->setPixmap(image.isNull()
                               ? QPixmap()
                               : QPixmap::fromImage(image.scaled(96, 96, Qt::KeepAspectRatio,
                                                                 Qt::SmoothTransformation)));
        picture->setVisible(!image.isNull());
    }
}

void ZNResultViewController::showMessagePreview(int row) {
    const auto node = messageModel_->nodeAt(row);
    if (!node) return;
    setPreviewLabel("messageNamelab", "Name: %@", node->messageName());
    setPreviewLabel("messagePhonelab", "Phone: %@", node->messagePhone());
    setPreviewLabel("messageTypelab", "Type: %@", node->messageType());
    setPreviewLabel("messageDatelab", "Date: %@", node->messageDate());
    if (ZNTextView* v = setPreviewText("messageConteView", node->messageContent())) v->show();
}

void ZNResultViewController::showNotePreview(int row) {
    const auto node = noteModel_->nodeAt(row);
    if (!node) return;
    setPreviewLabel("noteTitlelab", "Title: %@", node->noteTitle());
    setPreviewLabel("noteDatelab", "Date: %@", node->noteDate());
    setPreviewLabel("noteFolderlab", "Folder: %@", node->noteFolder());
    if (QLabel* folder = previewLabel("noteFolderlab"))
        folder->setVisible(!node->noteFolder().empty());
    // A locked note's text is encrypted with the user's own password; a
    // partly recovered one lost the end of its body with freed pages.
    if (QLabel* state = previewLabel("noteStatelab")) {
        state->setText(node->bLocked()    ? tr("Locked note: only its title can be read.")
                       : node->bPartial() ? tr("Partly recovered: the end of the text was lost.")
                                          : QString());
        state->setVisible(node->bLocked() || node->bPartial());
    }
    if (ZNTextView* v = setPreviewText("noteContentView", node->noteContent())) v->show();
}

void ZNResultViewController::showCallPreview(int row) {
    const auto node = callModel_->nodeAt(row);
    if (!node) return;
    setPreviewLabel("callNamelab", "Name: %@", node->callName());
    setPreviewLabel("callPhonelab", "Phone: %@", node->callPhone());
    setPreviewLabel("callTypelab", "Type: %@", node->callType());
    setPreviewLabel("callTimelab", "Duration: %@", node->callDuration());
    setPreviewLabel("callDatelab", "Date: %@", node->callDate());
}

void ZNResultViewController::showMovieIcon(const QString& why) {
    movieNote_->setText(tr("This movie cannot be played here: %1.").arg(why));
    movieNote_->show();
    player_->stop();
    movView_->hide();
    imageView_->show();
    QPixmap icon =
        QFileIconProvider().icon(QFileInfo(QStringLiteral("movie.mov"))).pixmap(256, 256);
    if (icon.isNull()) icon = QIcon::fromTheme(QStringLiteral("video-x-generic")).pixmap(256, 256);
    imageView_->setPixmap(
        icon.isNull() ? QPixmap()
                      : icon.scaled(256, 256, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

}  // namespace marlowen::gui
