// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"

#include "AppError.h"
#include "CommonDialog.h"
#include "Desktop.h"
#include "ErrorTrap.h"
#include "ListView.h"
#include "Paths.h"
#include "PointerMode.h"
#include "ProgressBar.h"
#include "ResultsActions.h"
#include "ResultsExport.h"
#include "StartupSupport.h"
#include "SynonymMeanings.h"
#include "ThesaurusChooser.h"
#include "Twips.h"
#include "WordListActions.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

namespace {
const QString kDisplayName = QStringLiteral("Lexigrove");
const QString kHelpPage = QStringLiteral("help.html");
constexpr int kShowNormal = 5;

QFont arialBold(qreal points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

// On Linux Qt names a combo box by its current entry and leaves its label to a
// relation that screen readers announce after the entry, if at all; the
// chooser keeps the name it is given, and its entry is its value.
class NamedComboBox : public QAccessibleWidget {
  public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
    QString text(QAccessible::Text type) const override {
        return type == QAccessible::Value ? box()->currentText() : QAccessibleWidget::text(type);
    }
    // Its popup list, as Qt's own combo box gives it, where readers find the entries.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && child->object() == box()->view() ? 0 : -1;
    }
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

  private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

// Screen readers take the main window for a frame only when it says it is a
// window; a plain top-level widget reads as a filler.
QAccessibleInterface* ControlAccessible(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->objectName() == QLatin1String("Form1") && widget->isWindow())
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (auto* box = qobject_cast<QComboBox*>(object);
        box && box->objectName() == QLatin1String("Thesaurus"))
        return new NamedComboBox(box);
    return nullptr;
}

// Beside-the-executable files count only as ordinary, visible files.
bool OrdinaryFilePresent(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isHidden();
}
} // namespace

Form1::Form1(Desktop& desktop, const QString& applicationFolder, QWidget* parent)
    : QWidget(parent), desktop_(desktop), applicationFolder_(applicationFolder),
      lookup_(*this, desktop, db_), CommonDialog1(std::make_unique<CommonDialog>(desktop)) {
    static const bool accessible = [] {
        QAccessible::installFactory(ControlAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setObjectName(QStringLiteral("Form1"));
    buildControls();
}

Form1::~Form1() = default;

QPushButton* Form1::addButton(const char* name, const QString& caption, QRect place) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    button->setFont(arialBold(11.25));
    button->setMouseTracking(true);
    button->installEventFilter(this);
    return button;
}

void Form1::buildControls() {
    setFixedSize(TwipsToPixels(8040), TwipsToPixels(9465));
    setFont(arialBold(9));
    setMouseTracking(true);

    PushButton7 = addButton("PushButton7", "Help", TwipsRect(120, 120, 7800, 405));
    ListView1 = new ListView(false, this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(TwipsRect(120, 630, 7800, 2535));
    PushButton6 = addButton("PushButton6", "Add Word", TwipsRect(120, 3250, 3840, 405));
    PushButton3 =
        addButton("PushButton3", "Load Words From File", TwipsRect(4080, 3250, 3840, 405));
    PushButton1 = addButton("PushButton1", "Clear List", TwipsRect(120, 3760, 3840, 405));
    PushButton8 =
        addButton("PushButton8", "Load Sample/Example Words", TwipsRect(4080, 3760, 3840, 405));
    PushButton17 =
        addButton("PushButton17", "Start Looking Up Synonyms", TwipsRect(120, 4270, 7800, 405));
    ListView2 = new ListView(true, this);
    ListView2->setObjectName(QStringLiteral("ListView2"));
    ListView2->setGeometry(TwipsRect(120, 4800, 7800, 2535));
    ListView2->setToolTip(
        QStringLiteral("Move | line to right and out of window to reveal full names."));
    ListView2->setDescriber([this](QByteArrayView word, QByteArrayView row) {
        return RowMeaning(resultsStore_ ? *resultsStore_ : db_.store(), word, row);
    });
    PushButton4 =
        addButton("PushButton4", "Save Results As Text File", TwipsRect(120, 7420, 3840, 405));
    PushButton9 =
        addButton("PushButton9", "Save As Comma Delimited", TwipsRect(4080, 7420, 3840, 405));
    PushButton2 = addButton("PushButton2", "Clear Results", TwipsRect(120, 7930, 3840, 405));
    PushButton5 =
        addButton("PushButton5", "Copy Results To Clipboard", TwipsRect(4080, 7930, 3840, 405));
    ProgressBar1 = new ProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(TwipsRect(120, 8450, 7800, 405));
    ProgressBar1->setText(QStringLiteral("Progress Bar"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));
    // Below everything else, so every other control keeps its place. The
    // label names the chooser to screen readers too, as its buddy.
    auto* thesaurusLabel = new QLabel(QStringLiteral("&Thesaurus:"), this);
    thesaurusLabel->setObjectName(QStringLiteral("ThesaurusLabel"));
    thesaurusLabel->setGeometry(TwipsRect(120, 8960, 1200, 405));
    Thesaurus = new QComboBox(this);
    Thesaurus->setObjectName(QStringLiteral("Thesaurus"));
    Thesaurus->setAccessibleName(QStringLiteral("Thesaurus"));
    Thesaurus->setGeometry(TwipsRect(1320, 8960, 6600, 405));
    thesaurusLabel->setBuddy(Thesaurus);

    // The keyboard order of the layout; the focus starts in the word list.
    const QList<QWidget*> order = {ListView1,    ListView2,   PushButton6, PushButton3, PushButton1,
                                   PushButton17, PushButton4, PushButton2, PushButton5, PushButton7,
                                   ProgressBar1, PushButton8, PushButton9, Thesaurus};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    ListView1->setFocus();

    for (ListView* list : {ListView1, ListView2})
        connect(list, &ListView::mouseMove, this, [this] { hover(PointerMode::Plain); });

    const auto wire = [this](QPushButton* button, auto clickHandler) {
        connect(button, &QPushButton::clicked, this,
                [this, clickHandler] { handle(clickHandler); });
    };
    wire(PushButton17, [this] {
        if (chooser_->readyToLookUp())
            lookup_.PushButton17_Click();
    });
    wire(PushButton2, [this] { PushButton2_Click(); });
    wire(PushButton7, [this] { PushButton7_Click(); });

    // The window is the pointer and the progress bar that the handlers drive.
    PointerControl& pointer = *this;
    ProgressDisplay& progress = *this;
    chooser_ = std::make_unique<ThesaurusChooser>(
        *Thesaurus, desktop_, progress,
        ThesaurusChooser::Window{[this](const QString& path) {
                                     keepResultsDatabase();
                                     db_.Close();
                                     db_.Open(DbConnection::ConnectionString(path));
                                 },
                                 [this] { return lookup_.running(); }},
        this);
    wordList_ = std::make_unique<WordListActions>(*ListView1, *CommonDialog1, desktop_, pointer);
    wordList_->attach();
    wire(PushButton6, [this] { wordList_->PushButton6_Click(); });
    wire(PushButton3, [this] { wordList_->PushButton3_Click(); });
    wire(PushButton1, [this] { wordList_->PushButton1_Click(); });
    wire(PushButton8, [this] { wordList_->PushButton8_Click(); });

    results_ =
        std::make_unique<ResultsActions>(*ListView2, *CommonDialog1, desktop_, pointer, progress,
                                         [this] { return lookup_.running(); });
    results_->attach();
    wire(PushButton4, [this] { results_->PushButton4_Click(); });
    wire(PushButton9, [this] { results_->PushButton9_Click(); });
    wire(PushButton5, [this] { results_->PushButton5_Click(); });
}

template <class Handler> void Form1::handle(Handler&& handler) {
    // Once the window is closing, clicks still queued behind the close do
    // nothing. That includes those run by the unload's own yields, after the
    // database has closed: a lookup started there would report every word.
    if (unloading_ || desktop_.isClosing())
        return;
    try {
        handler();
    } catch (const ClosingSignal&) {
        // The window closed during one of the handler's yields: it ends here.
    }
}

bool Form1::Form_Load() {
    ErrorTrap trap(desktop_, QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    const QString databasePath =
        chooser_->startingDatabase(DbConnection::DatabasePath(applicationFolder_), databasePath_);

    if (trap.test(100, [&] { return !DbConnection::DatabasePresent(databasePath); })) {
        trap.line(102, [&] { desktop_.message(databasePath + QStringLiteral(" not found")); });
        return false; // 104: the program ends; no window is shown
    }
    trap.line(106, [&] { ApplySkin(); });
    trap.line(110, [&] {
        setWindowTitle(kDisplayName);
        setWindowIcon(QIcon(QStringLiteral(":/lexigrove.png")));
        desktop_.setAppTitle(TitleFromDisplayName(kDisplayName));
    });
    const QString pointerFile = BesideApplication(applicationFolder_, QStringLiteral("HAND-M.CUR"));
    if (trap.test(112, [&] { return FileExists(pointerFile); }))
        trap.line(114, [&] { handPointer_ = LoadCursorFile(pointerFile); });
    trap.line(134, [&] { ListView1->addColumn(QStringLiteral(" Word(s)")); });
    trap.line(136, [&] { ListView1->setColumnWidthTwips(1, 7000); });
    trap.line(138, [&] { ListView2->addColumn(ResultsHeader()); });
    trap.line(140, [&] { ListView2->setColumnWidthTwips(1, 7000); });
    // The connection object lives as long as the window; 142 created it.
    trap.line(144, [&] {
        if (db_.State() != DbConnection::adStateClosed)
            db_.Close();
    });
    trap.line(146, [&] { db_.Open(DbConnection::ConnectionString(databasePath)); });
    trap.line(148, [&] { chooser_->restore(); });
    return true;
}

void Form1::ApplySkin() {
    const QString skinFile = BesideApplication(applicationFolder_, QStringLiteral("x/o.cjs"));
    if (!OrdinaryFilePresent(skinFile))
        return;
    QPalette look = palette();
    look.setColor(QPalette::Window, look.color(QPalette::Button));
    setPalette(look);
    setAutoFillBackground(true);
    QFile sheet(skinFile);
    if (!sheet.open(QIODevice::ReadOnly))
        throw AppError(
            QStringLiteral("Cannot read the skin %1: %2").arg(skinFile, sheet.errorString()));
    const QByteArray text = sheet.readAll();
    if (sheet.error() != QFileDevice::NoError)
        throw AppError(
            QStringLiteral("Cannot read the skin %1: %2").arg(skinFile, sheet.errorString()));
    const QString styles = QString::fromUtf8(text);
    if (!StyleSheetReadable(styles))
        throw AppError(QStringLiteral("The skin %1 is damaged: Qt cannot read it as a style sheet.")
                           .arg(skinFile));
    setStyleSheet(styles);
}

void Form1::closeEvent(QCloseEvent* event) {
    // A second close request while the first one lets events run changes nothing.
    if (!unloading_) {
        unloading_ = true;
        Form_QueryUnload();
        // Unload: end at once. Operations suspended in a yield unwind from it
        // without another step; the event loop ends.
        desktop_.markClosing();
        QCoreApplication::exit(0);
    }
    event->accept();
}

void Form1::Form_QueryUnload() {
    ErrorTrap trap(desktop_, QStringLiteral("Form1"), QStringLiteral("Form_QueryUnload"));
    trap.line(100, [&] {
        if (db_.State() != DbConnection::adStateClosed)
            db_.Close();
    });
    // The object itself stays with the window, closed, for a run still suspended below.
    trap.line(102, [&] { db_.Close(); });
    trap.line(104, [&] { desktop_.letEventsRun(); });
    trap.line(106, [&] { desktop_.letEventsRun(); });
}

void Form1::setMousePointer(int mode) {
    mousePointer_ = mode;
    switch (mode) {
    case PointerMode::Busy:
        setCursor(Qt::WaitCursor);
        break;
    case PointerMode::Hand:
        if (handPointer_)
            setCursor(*handPointer_);
        else
            unsetCursor();
        break;
    default:
        unsetCursor();
        break;
    }
}

void Form1::hover(int mode) {
    if (mousePointer_ != PointerMode::Busy && mousePointer_ != mode)
        setMousePointer(mode);
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    // Moves that a control left unhandled arrive here too; only the
    // background itself counts.
    if (!childAt(event->position().toPoint()))
        hover(PointerMode::Plain);
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove && qobject_cast<QPushButton*>(watched))
        hover(PointerMode::Hand);
    // The page under the controls is the window's background.
    if (event->type() == QEvent::MouseMove && watched == page_ &&
        !page_->childAt(static_cast<QMouseEvent*>(event)->position().toPoint()))
        hover(PointerMode::Plain);
    return QWidget::eventFilter(watched, event);
}

void Form1::fitWithin(QSize room) {
    const QSize layout = size();
    if (page_ || (layout.width() <= room.width() && layout.height() <= room.height()))
        return;
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("Scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    page_ = new QWidget;
    page_->setFixedSize(layout);
    page_->setMouseTracking(true);
    page_->installEventFilter(this);
    scroll->setWidget(page_);
    // Moved within the same window, the controls keep their places and their
    // keyboard order.
    for (QObject* child : children())
        if (auto* control = qobject_cast<QWidget*>(child); control && control != scroll) {
            control->setParent(page_);
            control->show();
        }
    setFixedSize(layout.boundedTo(room));
    scroll->setGeometry(rect());
    scroll->show();
}

void Form1::fitScreen() {
    const QScreen* shown = screen();
    if (!shown)
        return;
    // Before the window is shown its frame is unknown: a title bar and borders
    // as the style draws them.
    const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QRect area = shown->availableGeometry();
    fitWithin(area.size() - QSize(2 * border, title + 2 * border));
    if (page_)
        move(area.topLeft());
}

void Form1::setLanguage(const QString& code) {
    chooser_->setLanguage(code);
}

void Form1::loadWordFiles(const QStringList& paths) {
    QStringList absolute;
    for (const QString& path : paths)
        absolute << QFileInfo(path).absoluteFilePath();
    handle([&] { wordList_->loadGivenFiles(absolute); });
}

void Form1::PushButton2_Click() {
    ErrorTrap trap(desktop_, QStringLiteral("Form1"), QStringLiteral("PushButton2_Click"));
    trap.line(100, [&] { clearResultsList(); });
}

void Form1::PushButton7_Click() {
    ErrorTrap trap(desktop_, QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
    trap.line(100, [&] {
        const QString target = u'"' + BesideApplication(applicationFolder_, kHelpPage) + u'"';
        desktop_.shellExecute(QString(), target, QString(), QDir::rootPath(), kShowNormal);
    });
}

int Form1::wordCount() const {
    return ListView1->count();
}

QString Form1::wordText(int position) const {
    return ListView1->text(position);
}

void Form1::clearResults() {
    clearResultsList();
}

void Form1::clearResultsList() {
    ListView2->clear();
    resultsStore_.reset();
}

void Form1::keepResultsDatabase() {
    if (resultsStore_ || ListView2->count() == 0 || !db_.store().isOpen())
        return;
    resultsStore_ = std::make_unique<SynonymStore>();
    try {
        resultsStore_->open(db_.store().path());
    } catch (const AppError&) {
        // Gone meanwhile: the rows tell no meanings rather than another database's.
    }
}

void Form1::startWordRows(QByteArrayView wordUtf8) {
    ListView2->startRun(RowsKey(wordUtf8));
}

void Form1::appendResult(const QString& text) {
    ListView2->append(text);
}

void Form1::appendResultUtf8(QByteArrayView row) {
    ListView2->appendValidUtf8(row);
}

void Form1::setProgressValue(double percent) {
    ProgressBar1->setExactValue(percent);
}

void Form1::setProgressText(const QString& text) {
    ProgressBar1->setText(text);
}

QString Form1::startCaption() const {
    return PushButton17->text();
}

void Form1::setStartCaption(const QString& caption) {
    PushButton17->setText(caption);
}

int Form1::pointerMode() const {
    return mousePointer_;
}

void Form1::setPointerMode(int mode) {
    // A run asks for the busy pointer once per word; setting the cursor again costs as much
    // as a small lookup, and nothing else changes it meanwhile.
    if (mode != mousePointer_)
        setMousePointer(mode);
}
