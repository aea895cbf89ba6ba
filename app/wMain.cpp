#include "app/wMain.h"

#include "app/AnimationView.h"
#include "app/App.h"
#include "app/Controls.h"
#include "app/ConvertThread.h"
#include "app/FileNames.h"
#include "app/MainMenuBar.h"
#include "app/Resources.h"
#include "app/Reveal.h"
#include "app/wErrors.h"
#include "model/Globals.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace qmk {

namespace {

const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kProgressText(0x2B, 0x2B, 0x2B);
const QColor kProgressFill(0xE6, 0xE6, 0xE6);
const QColor kFinishedText(0x00, 0x99, 0x00);
const QColor kCaptionFirst(0x6C, 0x6C, 0x6C);
const QColor kCaptionAfter(0x3C, 0x3C, 0x3C);
const QColor kCaptionHover(0x33, 0xCC, 0x33);

void setTextColor(QLabel* l, const QColor& c) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, c);
    l->setPalette(p);
}

QFont helveticaNeue(int pixels) {
    QFont f;
    // Where the face is missing, the nearest sans-serif stands in.
    f.setFamilies({"Helvetica Neue", "Helvetica", "Liberation Sans", "DejaVu Sans"});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    return f;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect at, int pixels,
                  const QColor& color) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(at);
    l->setAlignment(Qt::AlignCenter);
    l->setFont(helveticaNeue(pixels));
    l->setWordWrap(false);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    setTextColor(l, color);
    return l;
}

// Whether a drag item carries a file: only a local path names one.
bool carriesFile(const QUrl& item) {
    return item.isLocalFile() && !item.toLocalFile().isEmpty();
}

// Whether any item of a drag carries a file (a link or a text carries none).
bool carriesAFile(const QList<QUrl>& items) {
    return std::any_of(items.begin(), items.end(), carriesFile);
}

// A drop is only ever a copy: answered "move", the source would delete what it
// gave (an editor cuts the dragged text, a file source may remove the file); a
// link is no document. A source that cannot give a copy is refused.
bool takeAsCopy(QDropEvent* e) {
    if (!(e->possibleActions() & Qt::CopyAction)) {
        e->ignore();
        return false;
    }
    e->setDropAction(Qt::CopyAction);
    e->accept();
    return true;
}

// The file a drag item carries, if any, named by the bytes of its URL. One whose
// name cannot be told from another file's is refused in the error panel.
std::optional<FolderItem> fileOf(const QUrl& item, wMain& w) {
    if (!carriesFile(item))
        return std::nullopt;
    auto file = fileOfLocalUrl(item);
    if (!file)
        w.addError(QFileInfo(item.toLocalFile()).fileName(), unreadableNameMessage());
    return file;
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

wMain::wMain() {
    setObjectName("wMain");
    MsgBox = [this](const QString& text) {
        // Window-modal and not waited for, so a drop handler never runs a loop of its own.
        auto* box =
            new QMessageBox(QMessageBox::NoIcon, Globals::kAppTitle, text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
    OpenDialog = [this](const QString& startDir) {
        // No title, no filter: any file, several at once.
        return QFileDialog::getOpenFileNames(this, QString(), startDir);
    };
    RevealDocument = [](const QByteArray& path) { Reveal::revealDocument(path); };
    Layout();
    CreateControls();
    Event_Open();
}

wMain::~wMain() {
    // The worker uses the conversion fields: it ends before they go.
    convertThread_->stop(-1);
    delete convertThread_;
    convertThread_ = nullptr;
    // The menu bar outlives the window.
    if (QLayout* l = layout())
        l->setMenuBar(nullptr);
    if (MainMenuBar* bar = MainMenuBar::instance(); bar->parent() == this)
        bar->setParent(nullptr);
}

void wMain::Layout() {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->setMenuBar(MainMenuBar::instance());
    box->setSizeConstraint(QLayout::SetFixedSize);

    content_ = new QWidget(this);
    content_->setObjectName("content");
    content_->setFixedSize(kWidth, kHeight);
    box->addWidget(content_);

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(Globals::kAppTitle);
    QPalette p = palette();
    p.setColor(QPalette::Window, kWhite);
    setPalette(p);
    setAutoFillBackground(true);
    content_->setAutoFillBackground(true);
    box->activate();
}

void wMain::CreateControls() {
    ccConvert_ = new AnimationView(content_);
    ccConvert_->setObjectName("ccConvert");
    ccConvert_->setGeometry(0, kHeight, kWidth, kHeight);
    ccConvert_->setVisible(false);
    ccConvert_->setEnabled(false);
    // The Edit entries go to the view's own actions; Undo is bound to nothing.
    const std::pair<QAction*, bool (AnimationView::*)()> edits[] = {
        {EditClear(), &AnimationView::clear},
        {EditCopy(), &AnimationView::copy},
        {EditCut(), &AnimationView::cut},
        {EditPaste(), &AnimationView::paste},
        {EditSelectAll(), &AnimationView::selectAll},
    };
    for (const auto& [action, handler] : edits)
        connect(action, &QAction::triggered, ccConvert_,
                [v = ccConvert_, h = handler] { (v->*h)(); });

    // Inside the view: its bottom 24 pixels, across its whole width.
    statusRec_ = new StatusRect(ccConvert_);
    statusRec_->setObjectName("statusRec");
    statusRec_->setGeometry(0, kHeight - 24, kWidth, 24);
    statusRec_->setFillColor(kProgressFill);

    stStatus_ = makeLabel(statusRec_, "stStatus", "-", QRect(20, 0, 348, 20), 13, kProgressText);
    stDrop_ = makeLabel(content_, "stDrop", QString::fromStdString(Globals::kDropHere()),
                        QRect(43, 157, 302, 32), 22, kCaptionFirst);

    ccDropFile_ = new DropBox(content_);
    ccDropFile_->setObjectName("ccDropFile");
    ccDropFile_->setGeometry(143, 45, 100, 100);
    ccDropFile_->setFocusPolicy(Qt::NoFocus);
    ccDropFile_->setBackdrop(icondropbox());
    connect(ccDropFile_, &DropBox::mouseEntered, this, &wMain::ccDropFile_MouseEnter);
    connect(ccDropFile_, &DropBox::mouseExited, this, &wMain::ccDropFile_MouseExit);
    connect(ccDropFile_, &DropBox::mouseDown, this, &wMain::ccDropFile_MouseDown);

    convertTimer_ = new QTimer(this);
    convertTimer_->setObjectName("convertTimer");
    convertTimer_->setInterval(100);
    connect(convertTimer_, &QTimer::timeout, this, &wMain::convertTimer_Action);
    convertThread_ = new ConvertThread(state_, *convertTimer_);

    // However the run ends, the worker stops at its next pause or yield, so no
    // document is left half-written.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { convertThread_->stop(kQuitGraceMs); });
}

void wMain::Event_Open() {
    // Files of any type may be dropped (the drop type "special/any").
    setAcceptDrops(true);

    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        // What is centred is the 388 x 234 window the user works in, the content
        // area: the menu bar above it (where the platform puts it there) and the
        // desktop's frame lie outside it.
        const QRect avail = screen->availableGeometry();
        const auto at = Globals::CenterFrame(avail.width(), avail.height(), kWidth, kHeight);
        // Taken from the screen's own corner, so a primary screen that does not sit
        // at the desktop's origin still gets the window.
        const QPoint origin = screen->geometry().topLeft();
        const QPoint contentAt(origin.x() + int(at.left), origin.y() + int(at.top));
        // The geometry without the frame: the desktop frames the window around it.
        setGeometry(QRect(contentAt - content_->pos(), size()));
    }

    if (!Globals::lastOpenFolder)
        Globals::lastOpenFolder = FolderItem(QDir::homePath().toStdString());

    ccConvert_->LoadURL(AnimationURL(AnimationFile()));
    ccConvert_->Refresh(true);
    show();
}

// --- Menu entries -------------------------------------------------------------------------

QMenu* wMain::EditMenu() const {
    return MainMenuBar::instance()->EditMenu();
}
QAction* wMain::EditSelectAll() const {
    return MainMenuBar::instance()->entry("EditSelectAll");
}
QAction* wMain::EditSeparator2() const {
    return MainMenuBar::instance()->entry("EditSeparator2");
}
QAction* wMain::EditClear() const {
    return MainMenuBar::instance()->entry("EditClear");
}
QAction* wMain::EditPaste() const {
    return MainMenuBar::instance()->entry("EditPaste");
}
QAction* wMain::EditCopy() const {
    return MainMenuBar::instance()->entry("EditCopy");
}
QAction* wMain::EditCut() const {
    return MainMenuBar::instance()->entry("EditCut");
}
QAction* wMain::EditSeparator1() const {
    return MainMenuBar::instance()->entry("EditSeparator1");
}
QAction* wMain::EditUndo() const {
    return MainMenuBar::instance()->entry("EditUndo");
}
QMenu* wMain::FileMenu() const {
    return MainMenuBar::instance()->FileMenu();
}
QAction* wMain::FileQuit() const {
    return MainMenuBar::instance()->entry("FileQuit");
}

// --- Views and status ---------------------------------------------------------------------

void wMain::DisplayConversion(bool conversionView) {
    if (conversionView) {
        updateStatus(QString::fromStdString(Globals::kStatusInit()));
        ccConvert_->move(0, 0);
        ccConvert_->setVisible(true);
        ccDropFile_->setVisible(false);
        stDrop_->setVisible(false);
        ccConvert_->Refresh(true);
        repaint();
    } else {
        ccDropFile_->setBackdrop(icondropbox());
        setTextColor(stDrop_, kCaptionAfter);
        ccConvert_->setVisible(false);
        // Parked beyond the content area's bottom-right corner.
        ccConvert_->move(kWidth, kHeight);
        ccDropFile_->setVisible(true);
        stDrop_->setVisible(true);
    }
}

void wMain::updateStatus(const QString& text) {
    updateStatus(text, qs(state_.windowTitle()));
}

void wMain::updateStatus(const QString& text, const QString& title) {
    const bool finished = text == QString::fromStdString(Globals::kConverted());
    QFont f = stStatus_->font();
    f.setBold(finished);
    stStatus_->setFont(f);
    setTextColor(stStatus_, finished ? kFinishedText : kProgressText);
    statusRec_->setFillColor(finished ? kWhite : kProgressFill);
    stStatus_->setText(text);
    setWindowTitle(title);
    stStatus_->repaint();
    emit statusApplied(text, title);
}

// --- Error panel --------------------------------------------------------------------------

void wMain::addError(const QString& name, const QString& message) {
    if (!errors)
        errors = new wErrors(this);
    errors->addError(name, message);
}

// --- Window events ------------------------------------------------------------------------

bool wMain::Event_CancelClose(bool appQuitting) {
    if (!appQuitting)
        Quit(0);
    return false;
}

void wMain::closeEvent(QCloseEvent* e) {
    if (Event_CancelClose(Quitting()))
        e->ignore();
    else
        e->accept();
}

void wMain::Event_DragOver() {
    ccDropFile_->setBackdrop(icondropboxhover());
    setTextColor(stDrop_, kCaptionHover);
}

void wMain::Event_DragExit() {
    ccDropFile_->setBackdrop(icondropbox());
    setTextColor(stDrop_, kCaptionAfter);
}

// Every drag is taken, so that one without a file can be dropped and told
// "Fichier non reconnu"; only a drag that carries a file shows the hover look.
void wMain::dragEnterEvent(QDragEnterEvent* e) {
    fileDrag_ = takeAsCopy(e) && carriesAFile(e->mimeData()->urls());
    if (fileDrag_)
        Event_DragOver();
}

void wMain::dragMoveEvent(QDragMoveEvent* e) {
    if (takeAsCopy(e) && fileDrag_)
        Event_DragOver();
}

void wMain::dragLeaveEvent(QDragLeaveEvent* e) {
    e->accept();
    endHoverLook();
}

void wMain::dropEvent(QDropEvent* e) {
    // The look goes back first, whatever the drop brings (a message box, a batch).
    endHoverLook();
    if (takeAsCopy(e))
        Event_DropObject(e->mimeData()->urls());
}

void wMain::endHoverLook() {
    if (fileDrag_)
        Event_DragExit();
    fileDrag_ = false;
}

// --- Drop box -----------------------------------------------------------------------------

void wMain::ccDropFile_MouseEnter() {
    ccDropFile_->setCursor(Qt::PointingHandCursor);
}

void wMain::ccDropFile_MouseExit() {
    ccDropFile_->setCursor(Qt::ArrowCursor);
}

bool wMain::ccDropFile_MouseDown(int, int) {
    openFile();
    return false;
}

// --- Batch driver -------------------------------------------------------------------------

void wMain::startConversion() {
    DisplayConversion(true);
    convertThread_->Run();
}

void wMain::convertTimer_Action() {
    // The busy flag first, then the texts: the worker posts its last status and
    // title before it sets the flag, so a file seen finished here has them in
    // the take below, and they are shown before the next file starts. A file
    // that ends after this read is finished at the next tick.
    const bool finished = state_.converted.load();
    if (const auto pending = state_.takeStatus())
        updateStatus(qs(pending->status), qs(pending->windowTitle));

    if (!finished)
        return;
    if (const std::string message = state_.takeErrorMsg(); !message.empty()) {
        const auto file = state_.fileToConvert();
        addError(file ? qs(file->Name()) : QString(), qs(message));
    }
    convertTimer_->stop();
    if (findNext())
        startConversion();
    else
        EndConversion();
}

bool wMain::findNext() {
    if (!queue)
        return false;
    queue->removeFile();
    const SharedFileList& files = queue->filesToImport();
    if (files->empty())
        return false;
    state_.setFileToConvert(files->front());
    return true;
}

void wMain::EndConversion() {
    if (queue)
        queue->animatedHide();
    queue = nullptr;
    state_.setFileToConvert(std::nullopt);
    DisplayConversion(false);
    // The last document of the run, also when this batch wrote none.
    if (const auto written = state_.newFile(); written && written->Exists() && RevealDocument)
        RevealDocument(QByteArray::fromStdString(written->AbsolutePath()));
}

// --- File intake --------------------------------------------------------------------------

void wMain::Event_DropObject(const QList<QUrl>& items) {
    if (items.isEmpty() || !carriesFile(items.first())) {
        MsgBox(QStringLiteral("Fichier non reconnu"));
        return;
    }
    auto files = std::make_shared<FileList>();
    for (const QUrl& item : items)
        if (auto file = fileOf(item, *this))
            files->push_back(std::move(*file));
    takeFiles(std::move(files));
}

void wMain::openFile() {
    // Always the same start folder: the chosen one is not remembered.
    const QString startDir =
        Globals::lastOpenFolder ? qs(Globals::lastOpenFolder->NativePath()) : QDir::homePath();
    const QStringList chosen = OpenDialog ? OpenDialog(startDir) : QStringList();
    auto files = std::make_shared<FileList>();
    for (const QString& path : chosen) {
        if (path.isEmpty())
            continue;
        // The dialog gives text: the bytes it stands for, unless it may stand for another file.
        if (auto file = fileOfText(path))
            files->push_back(std::move(*file));
        else
            addError(QFileInfo(path).fileName(), unreadableNameMessage());
    }
    takeFiles(std::move(files));
}

void wMain::takeFiles(SharedFileList files) {
    if (!files || files->empty())
        return;
    if (queue) {
        for (const FolderItem& f : *files)
            queue->addFile(f);
        return;
    }
    state_.setFileToConvert(files->front());
    startBatch(std::move(files));
}

void wMain::startBatch(SharedFileList files) {
    auto* panel = new wQueue(this, std::move(files), [this] { startConversion(); });
    queue = panel;
    panel->show();
}

} // namespace qmk
