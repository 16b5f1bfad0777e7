#include "shell/ui/ErrorDetail.h"

#include <QPushButton>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextLayout>

#include <algorithm>

namespace tolvane {
namespace {

constexpr int kTop = 10;
constexpr int kGap = 10;
constexpr int kSide = 12;

// The details button's texts when the language file has none.
const char kShowDetails[] = "Show &Details";
const char kHideDetails[] = "Hide &Details";

int LineFeeds(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// A read-only text whose lines are exactly `lineHeight` apart, so that the
// height the layout gives it holds all its lines; text that wraps scrolls.
void SetLines(QTextEdit* edit, const QString& text, int lineHeight, int side) {
  edit->setPlainText(text);
  // No room above or below the lines, so the height holds them exactly; a
  // little at the sides of a text field.
  QTextFrameFormat frame = edit->document()->rootFrame()->frameFormat();
  frame.setMargin(0);
  frame.setLeftMargin(side);
  frame.setRightMargin(side);
  edit->document()->rootFrame()->setFrameFormat(frame);
  QTextCursor cursor(edit->document());
  cursor.select(QTextCursor::Document);
  QTextBlockFormat format;
  format.setLineHeight(lineHeight, QTextBlockFormat::FixedHeight);
  format.setTopMargin(0);
  format.setBottomMargin(0);
  cursor.mergeBlockFormat(format);
}

// The message reads as part of the dialog; the detail sits on a text field.
QTextEdit* MakeText(QWidget* parent, bool field) {
  auto* edit = new QTextEdit(parent);
  edit->setReadOnly(true);
  edit->setAcceptRichText(false);
  edit->setLineWrapMode(QTextEdit::WidgetWidth);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  edit->document()->setDocumentMargin(0);
  // No frame: a frame would take pixels from the lines' height.
  edit->setFrameShape(QFrame::NoFrame);
  if (field) {
    edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  } else {
    edit->viewport()->setBackgroundRole(QPalette::Window);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  return edit;
}

// The number of lines `edit` shows `text` in when its lines are `width`
// pixels wide: each line of the text, and each place a long one wraps.
int VisualLines(const QTextEdit* edit, const QString& text, int width) {
  QTextOption option;
  option.setWrapMode(edit->wordWrapMode());
  int lines = 0;
  for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
    QTextLayout layout(paragraph, edit->font());
    layout.setTextOption(option);
    layout.beginLayout();
    int made = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(std::max(1, width));
      ++made;
    }
    layout.endLayout();
    lines += std::max(1, made);
  }
  return std::max(1, lines);
}

// The most lines a text is given before it scrolls.
constexpr int kMaxMessageLines = 12;
constexpr int kMaxDetailLines = 16;

}  // namespace

CErrorDetail::CErrorDetail(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent)
    : CKitDialog(parent),
      language_(language),
      settings_(settings),
      messageText_(WithControlId(MakeText(this, false), IDC_MESSAGE)),
      detailText_(WithControlId(MakeText(this, true), IDC_DETAIL)),
      ok_(WithControlId(new QPushButton(this), IDC_OKBUTTON)),
      details_(WithControlId(new QPushButton(this), IDC_DETAILSBUTTON)) {
  WithControlId(this, IDD);
  setModal(true);

  ok_->setDefault(true);
  ok_->setAutoDefault(true);
  details_->setAutoDefault(false);
  connect(ok_, &QPushButton::clicked, this, &CErrorDetail::accept);
  connect(details_, &QPushButton::clicked, this, &CErrorDetail::Toggle);

  SizeButtons();
}

QString CErrorDetail::DetailsText(bool expanded) const {
  return expanded ? LanguageTextOr(language_, settings_, "IDC_HIDEDETAILS", kHideDetails)
                  : LanguageTextOr(language_, settings_, "IDC_SHOWDETAILS", kShowDetails);
}

void CErrorDetail::SizeButtons() {
  // The buttons keep one size whatever they read, in the language shown.
  QSize size = ok_->sizeHint();
  for (const bool expanded : {false, true}) {
    details_->setText(DetailsText(expanded));
    size = size.expandedTo(details_->sizeHint());
  }
  size.setWidth(std::max(size.width(), fontMetrics().averageCharWidth() * 14));
  ok_->resize(size);
  details_->resize(size);
}

int CErrorDetail::LineHeight() const { return RuleLineHeight(fontMetrics()); }

void CErrorDetail::Show(const std::string& message, const std::string& detail) {
  message_ = message;
  detail_ = detail;
  expanded_ = false;

  setWindowTitle(LanguageText(language_, settings_, "IDD_ERRORDETAIL"));
  ok_->setText(LanguageText(language_, settings_, "IDOK"));
  details_->setText(LanguageText(language_, settings_, "IDC_DETAILS"));
  SizeButtons();
  const int lineHeight = LineHeight();
  SetLines(messageText_, FromUtf8(message_), lineHeight, 0);
  SetLines(detailText_, FromUtf8(detail_), lineHeight, 4);
  Relayout();
  ok_->setFocus();
  const WorkingWindowScope working(this);
  exec();
}

void CErrorDetail::reject() { Toggle(); }

void CErrorDetail::Toggle() {
  expanded_ = !expanded_;
  Relayout();
}

void CErrorDetail::Relayout() {
  const QFontMetrics metrics = fontMetrics();
  const int lineHeight = LineHeight();

  // Wide enough for the longest line of either text, within reason; a line
  // longer than that wraps and its control scrolls.
  int textWidth = 0;
  for (const std::string* text : {&message_, &detail_}) {
    for (const QString& line : FromUtf8(*text).split(QLatin1Char('\n'))) {
      textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    }
  }
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const int minWidth = std::max(metrics.averageCharWidth() * 60, 2 * ok_->width() + 3 * kSide);
  const int width = std::clamp(textWidth + scrollBar + 2 * kSide + 8, minWidth, metrics.averageCharWidth() * 100);

  // Every line of a text is shown, those a long line wraps into too; a text
  // longer than a sensible height scrolls.
  const int textWidth2 = width - 2 * kSide;
  auto heightOf = [&](QTextEdit* edit, const std::string& text, int side, int maxLines) {
    int lines = std::max(LineFeeds(text) + 1, VisualLines(edit, FromUtf8(text), textWidth2 - 2 * side));
    if (lines > maxLines) {
      lines = maxLines;
      edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    } else {
      edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    return lines * lineHeight;
  };

  int y = kTop;
  const int messageHeight = heightOf(messageText_, message_, 0, kMaxMessageLines);
  messageText_->setGeometry(kSide, y, width - 2 * kSide, messageHeight);
  y += messageHeight + kGap;

  details_->move(kSide, y);
  ok_->move(width - kSide - ok_->width(), y);
  const int collapsedHeight = y + ok_->height() + kGap;

  const int detailHeight = heightOf(detailText_, detail_, 4, kMaxDetailLines);
  detailText_->setGeometry(kSide, collapsedHeight, width - 2 * kSide, detailHeight);
  const int expandedHeight = collapsedHeight + detailHeight + kGap;

  detailText_->setVisible(expanded_);
  details_->setText(DetailsText(expanded_));
  setFixedSize(width, expanded_ ? expandedHeight : collapsedHeight);
}

}  // namespace tolvane
