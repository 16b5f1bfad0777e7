#include "shell/ui/HelpViewer.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStringDecoder>
#include <QStyle>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>

#include "common/CheckedFormat.h"
#include "shell/ui/DialogSupport.h"

namespace tolvane {
namespace {

constexpr char kScheme[] = "chm";
// Pictures are shown at most this wide, so a page of the window's width
// needs no scrolling.
constexpr int kMaxPictureWidth = 620;

// "f3" -> 3; -1 for anything else.
int ArchiveNumber(const QUrl& url) {
  const QString host = url.host();
  if (url.scheme() != QLatin1String(kScheme) || !host.startsWith(QLatin1Char('f'))) {
    return -1;
  }
  bool ok = false;
  const int n = host.mid(1).toInt(&ok);
  return ok ? n : -1;
}

std::string ObjectPath(const QUrl& url) { return url.path(QUrl::FullyDecoded).toStdString(); }

// A page's bytes as text: the encoding its <meta> names, else Latin-1, the
// nearest Qt knows to the 8-bit pages of older help files.
QString DecodePage(const std::string& bytes) {
  const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  auto encoding = QStringConverter::encodingForHtml(data);
  if (!encoding) {
    return QString::fromLatin1(data);
  }
  QStringDecoder decoder(*encoding);
  return decoder.decode(data);
}

}  // namespace

// ---------------------------------------------------------------------------
// CHelpBrowser

CHelpBrowser::CHelpBrowser(CHelpViewer& viewer) : QTextBrowser(&viewer), viewer_(viewer) {
  setOpenLinks(true);
  setOpenExternalLinks(false);
}

QVariant CHelpBrowser::loadResource(int type, const QUrl& name) {
  // Only what the help files hold is shown: a page never reaches other files
  // on the disk.
  const CHelpViewer::ARCHIVE* archive = viewer_.ArchiveOf(name);
  if (archive == nullptr) {
    return {};
  }
  const auto bytes = archive->chm.Read(ObjectPath(name));
  if (type == QTextDocument::HtmlResource) {
    return bytes ? DecodePage(*bytes) : viewer_.MissingPage(name);
  }
  if (!bytes) {
    return {};
  }
  if (type == QTextDocument::StyleSheetResource) {
    return QString::fromUtf8(bytes->data(), static_cast<qsizetype>(bytes->size()));
  }
  if (type == QTextDocument::ImageResource) {
    // A screenshot wider than the page is made smaller here, smoothly: the
    // page would scale it pixel by pixel.
    QImage picture;
    if (picture.loadFromData(QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()))) &&
        picture.width() > kMaxPictureWidth) {
      return picture.scaledToWidth(kMaxPictureWidth, Qt::SmoothTransformation);
    }
  }
  return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

void CHelpBrowser::doSetSource(const QUrl& target, QTextDocument::ResourceType type) {
  // A relative name is a page beside the one shown.
  const QUrl name = target.isRelative() ? source().resolved(target) : target;
  const QString scheme = name.scheme().toLower();
  if (scheme == QLatin1String("ms-its")) {
    // "ms-its:QR27.chm::/QR27_LEVELS.htm": a page of another help file in the
    // folder of the one shown.
    const QString path = QUrl::fromPercentEncoding(name.toEncoded()).section(QLatin1Char(':'), 1, -1);
    const auto [file, topic] = SplitHelpPath(path.toStdString());
    const std::filesystem::path leaf = std::filesystem::path(file).filename();
    if (leaf.empty() || leaf != std::filesystem::path(file)) {
      return;  // only a name beside the current file
    }
    const int n = viewer_.ArchiveFor(viewer_.CurrentFile().parent_path() / leaf);
    if (n >= 0) {
      QTextBrowser::doSetSource(viewer_.PageUrl(n, topic), type);
    }
    return;
  }
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto")) {
    QDesktopServices::openUrl(name);
    return;
  }
  if (scheme == QLatin1String(kScheme)) {
    QTextBrowser::doSetSource(name, type);
  }
}

// ---------------------------------------------------------------------------
// CHelpViewer

CHelpViewer::CHelpViewer(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent)
    : QWidget(parent, Qt::Window),
      language_(language),
      settings_(settings),
      browser_(WithControlId(new CHelpBrowser(*this), IDC_PAGE)),
      contents_(WithControlId(new QTreeWidget(this), IDC_CONTENTS)),
      toolbar_(new QToolBar(this)),
      findBar_(WithControlId(new QWidget(this), IDC_FINDBAR)),
      findText_(WithControlId(new QLineEdit(findBar_), IDC_FINDTEXT)),
      findStatus_(WithControlId(new QLabel(findBar_), IDC_FINDSTATUS)) {
  WithControlId(this, IDD);
  setWindowTitle(Text("IDD_HELPVIEWER"));

  // Toolbar: Back, Forward, Home, Find, with the platform's icons.
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toolbar_->setMovable(false);
  back_ = toolbar_->addAction(style()->standardIcon(QStyle::SP_ArrowBack), Text("IDC_HELPBACK"));
  forward_ = toolbar_->addAction(style()->standardIcon(QStyle::SP_ArrowForward), Text("IDC_HELPFORWARD"));
  home_ = toolbar_->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), Text("IDC_HELPHOME"));
  toolbar_->addSeparator();
  find_ = toolbar_->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), Text("IDC_HELPFIND"));
  back_->setShortcut(QKeySequence::Back);
  forward_->setShortcut(QKeySequence::Forward);
  find_->setShortcut(QKeySequence::Find);
  for (auto [action, id] : {std::pair{back_, int{IDC_BACK}}, std::pair{forward_, int{IDC_FORWARD}},
                            std::pair{home_, int{IDC_HOME}}, std::pair{find_, int{IDC_FIND}}}) {
    WithControlId(toolbar_->widgetForAction(action), id);
  }
  back_->setEnabled(false);
  forward_->setEnabled(false);
  connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
  connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
  connect(home_, &QAction::triggered, this, &CHelpViewer::Home);
  connect(find_, &QAction::triggered, this, &CHelpViewer::ShowFindBar);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, &CHelpViewer::PageChanged);

  // The page: a white sheet with some room around the text.
  browser_->document()->setDocumentMargin(14);
  browser_->setFrameShape(QFrame::NoFrame);

  // Find bar below the page, hidden until asked for.
  auto* label = new QLabel(Text("IDC_HELPFINDLABEL"), findBar_);
  auto* previous = WithControlId(new QPushButton(Text("IDC_HELPFINDPREVIOUS"), findBar_), IDC_FINDPREVIOUS);
  auto* next = WithControlId(new QPushButton(Text("IDC_HELPFINDNEXT"), findBar_), IDC_FINDNEXT);
  auto* close = WithControlId(new QToolButton(findBar_), IDC_FINDCLOSE);
  close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  close->setToolTip(Text("IDC_HELPFINDCLOSE"));
  close->setAutoRaise(true);
  findText_->setClearButtonEnabled(true);
  findStatus_->setMinimumWidth(fontMetrics().horizontalAdvance(Text("IDC_HELPNOTFOUND")) + 8);
  findStatus_->setStyleSheet(QStringLiteral("color: #a0261d;"));
  findText_->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
  label->setBuddy(findText_);
  auto* findLayout = new QHBoxLayout(findBar_);
  findLayout->setContentsMargins(8, 4, 8, 4);
  findLayout->addWidget(label);
  findLayout->addWidget(findText_);
  findLayout->addWidget(previous);
  findLayout->addWidget(next);
  findLayout->addWidget(findStatus_);
  findLayout->addStretch(1);
  findLayout->addWidget(close);
  findBar_->hide();
  connect(findText_, &QLineEdit::returnPressed, this, [this] { FindNext(false); });
  connect(findText_, &QLineEdit::textEdited, findStatus_, &QLabel::clear);
  connect(next, &QPushButton::clicked, this, [this] { FindNext(false); });
  connect(previous, &QPushButton::clicked, this, [this] { FindNext(true); });
  connect(close, &QToolButton::clicked, findBar_, &QWidget::hide);
  auto* findAgain = new QShortcut(QKeySequence::FindNext, this);
  connect(findAgain, &QShortcut::activated, this, [this] { FindNext(false); });
  auto* findBack = new QShortcut(QKeySequence::FindPrevious, this);
  connect(findBack, &QShortcut::activated, this, [this] { FindNext(true); });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), findBar_);
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, [this] {
    findBar_->hide();
    browser_->setFocus();
  });

  // Contents pane: the help file's table of contents; a click opens a page.
  contents_->setHeaderHidden(true);
  contents_->setStyleSheet(QStringLiteral("QTreeWidget::item { padding: 3px 2px; }"));
  contents_->setUniformRowHeights(true);
  connect(contents_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    const QUrl url = item->data(0, Qt::UserRole).toUrl();
    if (url.isValid()) {
      browser_->setSource(url);
    }
  });

  const int em = fontMetrics().averageCharWidth();
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->addWidget(contents_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(1, 1);
  splitter->setChildrenCollapsible(false);
  splitter->setSizes({em * 30, em * 100});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolbar_);
  layout->addWidget(splitter, 1);
  layout->addWidget(findBar_);

  resize(em * 140, fontMetrics().height() * 44);
}

CHelpViewer::~CHelpViewer() = default;

QString CHelpViewer::Text(const char* key) const { return LanguageText(language_, settings_, key); }

int CHelpViewer::ArchiveFor(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::path key = std::filesystem::weakly_canonical(file, ec);
  if (ec) {
    key = file;
  }
  for (std::size_t i = 0; i < archives_.size(); ++i) {
    if (archives_[i]->path == key) {
      return static_cast<int>(i);
    }
  }
  auto archive = std::make_unique<ARCHIVE>();
  if (!archive->chm.Open(key)) {
    return -1;
  }
  archive->path = key;
  archive->info = archive->chm.SystemInfo();
  if (!archive->info.contentsFile.empty()) {
    if (const auto hhc = archive->chm.Read(archive->info.contentsFile)) {
      archive->contents = ParseContents(*hhc);
    }
  }
  archives_.push_back(std::move(archive));
  return static_cast<int>(archives_.size() - 1);
}

const CHelpViewer::ARCHIVE* CHelpViewer::ArchiveOf(const QUrl& url) const {
  const int n = ArchiveNumber(url);
  if (n < 0 || n >= static_cast<int>(archives_.size())) {
    return nullptr;
  }
  return archives_[static_cast<std::size_t>(n)].get();
}

QUrl CHelpViewer::PageUrl(int archive, const std::string& topic) const {
  std::string object = topic.empty() ? DefaultTopic(*archives_[static_cast<std::size_t>(archive)]) : topic;
  if (object.empty() || object.front() != '/') {
    object.insert(object.begin(), '/');
  }
  QUrl url;
  url.setScheme(QLatin1String(kScheme));
  url.setHost(QStringLiteral("f%1").arg(archive));
  // The topic may carry an anchor: "PAGE.htm#part".
  const std::string::size_type hash = object.find('#');
  url.setPath(FromUtf8(object.substr(0, hash)));
  if (hash != std::string::npos) {
    url.setFragment(FromUtf8(object.substr(hash + 1)));
  }
  return url;
}

std::string CHelpViewer::DefaultTopic(const ARCHIVE& archive) const {
  if (!archive.info.defaultTopic.empty()) {
    return archive.info.defaultTopic;
  }
  // A file that names no default page: the program's usual first page.
  return kGettingStartedTopic;
}

QString CHelpViewer::MissingPage(const QUrl& url) const {
  return QStringLiteral("<html><head><title>%1</title></head><body><h1>%1</h1><p>%2</p></body></html>")
      .arg(url.fileName().toHtmlEscaped(), Text("HELP_MESSAGE3").toHtmlEscaped());
}

CHelpViewer::OpenResult CHelpViewer::Open(const std::filesystem::path& file, const std::string& topic) {
  const int n = ArchiveFor(file);
  if (n < 0) {
    return OpenResult::NoFile;
  }
  const ARCHIVE& archive = *archives_[static_cast<std::size_t>(n)];
  const std::string page = topic.substr(0, topic.find('#'));
  OpenResult result = OpenResult::Ok;
  QUrl url = PageUrl(n, topic);
  if (!page.empty() && !archive.chm.Exists(page)) {
    result = OpenResult::NoPage;
    url = PageUrl(n, std::string());
  }
  browser_->setSource(url);
  return result;
}

std::filesystem::path CHelpViewer::CurrentFile() const {
  const ARCHIVE* archive = ArchiveOf(browser_->source());
  return archive != nullptr ? archive->path : std::filesystem::path();
}

std::string CHelpViewer::CurrentTopic() const {
  if (ArchiveOf(browser_->source()) == nullptr) {
    return {};
  }
  std::string path = ObjectPath(browser_->source());
  if (!path.empty() && path.front() == '/') {
    path.erase(path.begin());
  }
  return path;
}

void CHelpViewer::Home() {
  const int n = ArchiveNumber(browser_->source());
  if (n >= 0 && n < static_cast<int>(archives_.size())) {
    browser_->setSource(PageUrl(n, std::string()));
  }
}

void CHelpViewer::PageChanged(const QUrl& url) {
  // "<page title> - <help file title>", as far as the file names them.
  QString title = browser_->documentTitle();
  const ARCHIVE* archive = ArchiveOf(url);
  const QString fileTitle =
      archive != nullptr && !archive->info.title.empty() ? FromUtf8(archive->info.title) : Text("IDD_HELPVIEWER");
  setWindowTitle(title.isEmpty() ? fileTitle : title + QStringLiteral(" - ") + fileTitle);
  findStatus_->clear();
  ShowContents(ArchiveNumber(url), url);
}

void CHelpViewer::ShowContents(int archive, const QUrl& page) {
  if (archive < 0 || archive >= static_cast<int>(archives_.size())) {
    return;
  }
  if (archive != contentsOf_) {
    contentsOf_ = archive;
    contents_->clear();
    // Items nest by level; a level deeper than the one above hangs under
    // the last item.
    std::vector<QTreeWidgetItem*> parents;
    for (const CONTENTS_ENTRY& e : archives_[static_cast<std::size_t>(archive)]->contents) {
      const std::size_t level = std::min(static_cast<std::size_t>(e.level), parents.size());
      parents.resize(level);
      auto* item = level == 0 ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.back());
      item->setText(0, FromUtf8(e.name.empty() ? e.local : e.name));
      if (!e.local.empty()) {
        item->setData(0, Qt::UserRole, PageUrl(archive, e.local));
      }
      parents.push_back(item);
    }
    contents_->expandAll();
    // A flat list needs no room for branch marks.
    bool nested = false;
    for (int i = 0; i < contents_->topLevelItemCount() && !nested; ++i) {
      nested = contents_->topLevelItem(i)->childCount() > 0;
    }
    contents_->setRootIsDecorated(nested);
    contents_->setVisible(contents_->topLevelItemCount() > 0);
  }
  // Mark the page shown (its name without regard to case or anchor).
  const QString shown = page.path().toLower();
  contents_->setCurrentItem(nullptr);
  for (QTreeWidgetItemIterator it(contents_); *it != nullptr; ++it) {
    const QUrl url = (*it)->data(0, Qt::UserRole).toUrl();
    if (url.isValid() && url.path().toLower() == shown) {
      contents_->setCurrentItem(*it);
      break;
    }
  }
}

void CHelpViewer::ShowFindBar() {
  findBar_->show();
  findText_->setFocus();
  findText_->selectAll();
}

bool CHelpViewer::FindNext(bool backwards) {
  const QString text = findText_->text();
  findStatus_->clear();
  if (text.isEmpty()) {
    return false;
  }
  const QTextDocument::FindFlags flags = backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  if (browser_->find(text, flags)) {
    return true;
  }
  // Round the end of the page and try once more.
  QTextCursor cursor = browser_->textCursor();
  cursor.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
  browser_->setTextCursor(cursor);
  if (browser_->find(text, flags)) {
    return true;
  }
  findStatus_->setText(Text("IDC_HELPNOTFOUND"));
  return false;
}

// ---------------------------------------------------------------------------
// CHelpViewerService

CHelpViewerService::CHelpViewerService(const CLanguageFile& language, const APP_SETTINGS& settings,
                                       IMessageBox& messages)
    : language_(language), settings_(settings), messages_(messages) {}

CHelpViewerService::~CHelpViewerService() { delete viewer_.data(); }

CHelpViewer& CHelpViewerService::WindowFor(QWidget* modal) {
  if (viewer_.isNull()) {
    viewer_ = new CHelpViewer(language_, settings_, modal);
  } else if (viewer_->parentWidget() != modal) {
    // Another modal window asks: the same window moves under it, keeping
    // its pages and its place on the screen.
    const QRect place = viewer_->geometry();
    viewer_->setParent(modal, viewer_->windowFlags() | Qt::Window);
    viewer_->setGeometry(place);
  }
  return *viewer_;
}

void CHelpViewerService::ShowHelp(const std::string& path) {
  const auto [file, topic] = SplitHelpPath(path);
  QWidget* modal = QApplication::activeModalWidget();
  CHelpViewer& viewer = WindowFor(modal == nullptr ? nullptr : modal->window());
  const int lang = settings_.languageNumber;
  switch (viewer.Open(file, topic)) {
    case CHelpViewer::OpenResult::NoFile:
      messages_.Show(Format(language_.Text("HELP_MESSAGE1", lang), file), MB_ERROR);
      return;
    case CHelpViewer::OpenResult::NoPage:
      messages_.Show(
          Format(language_.Text("HELP_MESSAGE2", lang), std::filesystem::path(file).filename().string(), topic),
          MB_INFO);
      break;
    case CHelpViewer::OpenResult::Ok:
      break;
  }
  // The first time it opens: over the window it belongs to, else in the
  // middle of the screen; afterwards where the user put it.
  if (!viewer.isVisible() && !viewer.testAttribute(Qt::WA_Moved)) {
    // Never larger than the screen (large scale factors).
    if (const QScreen* screen = viewer.screen()) {
      viewer.resize(viewer.size().boundedTo(screen->availableGeometry().marginsRemoved(kFrameRoom).size()));
    }
    if (QWidget* owner = viewer.parentWidget(); owner != nullptr && owner->isVisible()) {
      CentreOn(&viewer, owner);
    } else {
      PlaceWithoutOwner(&viewer);
    }
  }
  viewer.show();
  viewer.raise();
  viewer.activateWindow();
}

}  // namespace tolvane
