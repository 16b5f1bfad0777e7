// Writes one wiring drawing, the terminal plan of a sensor configuration, as a
// one-page PDF: tolvane-wiring-pdf <drawing.txt> <drawing.pdf>. Run at build
// time on the offscreen platform.
//
// The description is a text file of KEY = value lines (a line that starts with
// an apostrophe is a comment; fields are separated by "|"):
//   MODEL, UNIT, CONFIGURATION, SERVES      the title block
//   GROUP = kind|heading|...                a group of terminals and what is
//                                           wired to them, with its terminals
//   TERMINAL = number|name                  in the order of the group's kind
//   TABLETITLE = text                       the table of functions: its title,
//   TABLE = column|column|...               its header
//   ROW = cell|cell|...                     and its rows
//   NOTE = text                             a note below the table
// Group kinds and their fields after the heading:
//   supply|box|detail         two terminals (+, -) to a DC supply
//   output|box|detail         two terminals (+, -) to a receiver's input
//   loop|supply|detail|receiver|detail
//                             two terminals (+, -) in a series loop with a
//                             supply and a receiver (a loop-powered unit)
//   relay|NO or NC|box|detail three terminals (COM, NO, NC); the load between
//                             the named contact and the load supply
//   relay|-|text              three terminals left free; the text says why
//   service|box|detail        terminals to the USB interface adapter
// The page is laid out at fixed positions; a description whose content does
// not fit its area is refused, so that no drawing ships with overlapping text.
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct TERMINAL {
  QString number;
  QString name;
};

struct GROUP {
  QString kind;
  QStringList fields;  // after the kind: heading first
  std::vector<TERMINAL> terminals;
};

struct DRAWING {
  QString model;
  QString unit;
  QString configuration;
  QString serves;
  std::vector<GROUP> groups;
  QString tableTitle;
  QStringList table;
  std::vector<QStringList> rows;
  QStringList notes;
};

QStringList Fields(const QString& value) {
  QStringList f = value.split(QLatin1Char('|'));
  for (QString& s : f) {
    s = s.trimmed();
  }
  return f;
}

std::optional<DRAWING> Parse(const QString& text, QString& error) {
  DRAWING d;
  int lineNumber = 0;
  for (const QString& raw : text.split(QLatin1Char('\n'))) {
    ++lineNumber;
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('\''))) {
      continue;
    }
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) {
      error = QStringLiteral("line %1: no '='").arg(lineNumber);
      return std::nullopt;
    }
    const QString key = line.left(eq).trimmed().toUpper();
    const QString value = line.mid(eq + 1).trimmed();
    if (key == QLatin1String("MODEL")) {
      d.model = value;
    } else if (key == QLatin1String("UNIT")) {
      d.unit = value;
    } else if (key == QLatin1String("CONFIGURATION")) {
      d.configuration = value;
    } else if (key == QLatin1String("SERVES")) {
      d.serves = value;
    } else if (key == QLatin1String("GROUP")) {
      QStringList f = Fields(value);
      GROUP g;
      g.kind = f.takeFirst();
      g.fields = f;
      d.groups.push_back(g);
    } else if (key == QLatin1String("TERMINAL")) {
      const QStringList f = Fields(value);
      if (d.groups.empty() || f.size() != 2) {
        error = QStringLiteral("line %1: a terminal is number|name, after its group").arg(lineNumber);
        return std::nullopt;
      }
      d.groups.back().terminals.push_back({f[0], f[1]});
    } else if (key == QLatin1String("TABLETITLE")) {
      d.tableTitle = value;
    } else if (key == QLatin1String("TABLE")) {
      d.table = Fields(value);
    } else if (key == QLatin1String("ROW")) {
      d.rows.push_back(Fields(value));
    } else if (key == QLatin1String("NOTE")) {
      d.notes.push_back(value);
    } else {
      error = QStringLiteral("line %1: unknown key %2").arg(lineNumber).arg(key);
      return std::nullopt;
    }
  }
  // Each kind has its number of terminals and fields.
  for (const GROUP& g : d.groups) {
    std::size_t terminals = 0;
    qsizetype fields = 0;
    if (g.kind == QLatin1String("supply") || g.kind == QLatin1String("output")) {
      terminals = 2;
      fields = 3;
    } else if (g.kind == QLatin1String("loop")) {
      terminals = 2;
      fields = 5;
    } else if (g.kind == QLatin1String("relay")) {
      terminals = 3;
      fields = g.fields.size() >= 2 && g.fields[1] == QLatin1String("-") ? 3 : 4;
      if (fields == 4 && g.fields.size() >= 2 && g.fields[1] != QLatin1String("NO") &&
          g.fields[1] != QLatin1String("NC")) {
        error = QStringLiteral("relay %1: the load is on NO, NC or '-'").arg(g.fields[0]);
        return std::nullopt;
      }
    } else if (g.kind == QLatin1String("service")) {
      terminals = g.terminals.empty() ? 1 : g.terminals.size();
      fields = 3;
    } else {
      error = QStringLiteral("unknown group kind %1").arg(g.kind);
      return std::nullopt;
    }
    if (g.terminals.size() != terminals || g.fields.size() != fields) {
      error = QStringLiteral("group %1 (%2): %3 terminals and %4 fields expected")
                  .arg(g.fields.value(0), g.kind)
                  .arg(terminals)
                  .arg(fields);
      return std::nullopt;
    }
  }
  for (const QStringList& r : d.rows) {
    if (r.size() != d.table.size()) {
      error = QStringLiteral("a table row has %1 cells, the header %2").arg(r.size()).arg(d.table.size());
      return std::nullopt;
    }
  }
  if (d.model.isEmpty() || d.configuration.isEmpty() || d.serves.isEmpty() || d.groups.empty()) {
    error = QStringLiteral("MODEL, CONFIGURATION, SERVES and at least one GROUP are needed");
    return std::nullopt;
  }
  return d;
}

// Draws in millimetres on the PDF page, fonts in points.
class CSheet {
 public:
  explicit CSheet(QPainter& p) : p_(p), k_(p.device()->logicalDpiX() / 25.4) {}

  QPointF P(double x, double y) const { return {x * k_, y * k_}; }
  QRectF R(double x, double y, double w, double h) const { return {x * k_, y * k_, w * k_, h * k_}; }

  void Pen(double widthMm, const QColor& colour = Qt::black, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(colour, widthMm * k_, style, Qt::RoundCap, Qt::RoundJoin);
    p_.setPen(pen);
  }
  void Font(double points, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    p_.setFont(f);
  }
  void Line(double x1, double y1, double x2, double y2) { p_.drawLine(P(x1, y1), P(x2, y2)); }
  void Box(double x, double y, double w, double h, const QColor& fill = Qt::white) {
    p_.setBrush(fill);
    p_.drawRect(R(x, y, w, h));
    p_.setBrush(Qt::NoBrush);
  }
  void Dot(double x, double y, double r, bool filled) {
    p_.setBrush(filled ? QBrush(Qt::black) : QBrush(Qt::white));
    p_.drawEllipse(P(x, y), r * k_, r * k_);
    p_.setBrush(Qt::NoBrush);
  }
  // Text in a box; the height it takes (in mm) when drawn wrapped to `w`.
  double TextHeight(double w, const QString& text) const {
    const QRectF r = p_.boundingRect(R(0, 0, w, 1000), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    return r.height() / k_;
  }
  void Text(double x, double y, double w, double h, const QString& text,
            Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
    p_.drawText(R(x, y, w, h), static_cast<int>(align) | Qt::TextWordWrap, text);
  }
  // The width a one-line text takes, in mm.
  double TextWidth(const QString& text) const {
    return QFontMetricsF(p_.font(), p_.device()).horizontalAdvance(text) / k_;
  }

 private:
  QPainter& p_;
  double k_;
};

// Page areas, in millimetres on A4 landscape (297 x 210).
constexpr double kFrameLeft = 8, kFrameTop = 8, kFrameRight = 289, kFrameBottom = 202;
constexpr double kWiringTop = 30, kWiringBottom = 198;
constexpr double kRightLeft = 180, kRightRight = 285;
constexpr double kTitleTop = 160;

// The terminal block and the columns of the circuits.
constexpr double kBlockLeft = 14, kBlockRight = 70;
constexpr double kCellNumber = 48, kCellName = 55;  // left edges of the two cells
constexpr double kBoxLeft = 96, kBoxRight = 150;
constexpr double kEnd = 156;  // the ends of the wires that leave the drawing

class CDrawingPainter {
 public:
  CDrawingPainter(CSheet& s, const DRAWING& d, const QString& drawingName) : s_(s), d_(d), name_(drawingName) {}

  bool Paint(QString& error) {
    Frame();
    if (!Wiring(error)) {
      return false;
    }
    const double tableBottom = Table();
    const double notesBottom = Notes(tableBottom + 5);
    if (notesBottom > kTitleTop - 2) {
      error = QStringLiteral("the table and the notes run into the title block (%1 mm)").arg(notesBottom);
      return false;
    }
    TitleBlock();
    return true;
  }

 private:
  void Frame() {
    s_.Pen(0.5);
    s_.Box(kFrameLeft, kFrameTop, kFrameRight - kFrameLeft, kFrameBottom - kFrameTop);
    s_.Font(15, true);
    s_.Text(12, 11, 230, 10, d_.model + QStringLiteral(" wiring: ") + d_.configuration);
    s_.Font(9);
    s_.Text(12, 19.5, 270, 6, d_.unit + QStringLiteral(" \u2014 ") + d_.serves);
    s_.Font(9, true);
    s_.Text(200, 12, 85, 6, name_, Qt::AlignRight | Qt::AlignTop);
    s_.Pen(0.3);
    s_.Line(kFrameLeft, 26, kFrameRight, 26);
    s_.Line(kRightLeft - 4, 26, kRightLeft - 4, kFrameBottom);
  }

  // The rows of the terminals, group by group, in mm from the top.
  struct ROWS {
    std::vector<std::vector<double>> y;
    double bottom = 0;
  };
  ROWS Layout(double pitch, double gap) const {
    ROWS rows;
    double y = kWiringTop + 12;
    for (const GROUP& g : d_.groups) {
      std::vector<double> ys;
      // The loop's supply and receiver each sit on one wire: a free row
      // between them.
      const double step = g.kind == QLatin1String("loop") ? 2.5 * pitch : pitch;
      for (std::size_t i = 0; i < g.terminals.size(); ++i) {
        ys.push_back(y);
        y += step;
      }
      y += gap - step + pitch;
      rows.y.push_back(ys);
    }
    rows.bottom = y - gap;
    return rows;
  }

  bool Wiring(QString& error) {
    double pitch = 8;
    ROWS rows = Layout(pitch, 5);
    if (rows.bottom > kWiringBottom - 10) {
      pitch = 7;
      rows = Layout(pitch, 4);
    }
    if (rows.bottom > kWiringBottom - 10) {
      error = QStringLiteral("the terminals do not fit the page (%1 mm)").arg(rows.bottom);
      return false;
    }
    // The unit's outline with its terminal block.
    const double top = kWiringTop;
    const double bottom = rows.bottom + 2;
    s_.Pen(0.5);
    s_.Box(kBlockLeft, top, kBlockRight - kBlockLeft, bottom - top, QColor(246, 246, 246));
    s_.Font(9, true);
    s_.Text(kBlockLeft + 2, top + 1, kBlockRight - kBlockLeft - 4, 6, d_.model + QStringLiteral(" terminals"));
    for (std::size_t gi = 0; gi < d_.groups.size(); ++gi) {
      const GROUP& g = d_.groups[gi];
      const std::vector<double>& ys = rows.y[gi];
      Terminals(g, ys, pitch);
      if (g.kind == QLatin1String("supply") || g.kind == QLatin1String("output") ||
          g.kind == QLatin1String("service")) {
        Spanning(g, ys, pitch);
      } else if (g.kind == QLatin1String("loop")) {
        Loop(g, ys, pitch);
      } else if (g.kind == QLatin1String("relay")) {
        Relay(g, ys, pitch);
      }
    }
    Legend(rows.bottom + 7);
    return true;
  }

  void Terminals(const GROUP& g, const std::vector<double>& ys, double pitch) {
    s_.Pen(0.3);
    s_.Font(8, true);
    s_.Text(kBlockLeft + 2, ys.front() - pitch / 2 + 0.6, kCellNumber - kBlockLeft - 3, pitch, g.fields[0]);
    for (std::size_t i = 0; i < ys.size(); ++i) {
      const double y = ys[i];
      s_.Pen(0.3);
      s_.Box(kCellNumber, y - pitch / 2, kCellName - kCellNumber, pitch);
      s_.Box(kCellName, y - pitch / 2, kBlockRight - kCellName, pitch);
      s_.Font(8, true);
      s_.Text(kCellNumber, y - pitch / 2, kCellName - kCellNumber, pitch, g.terminals[i].number, Qt::AlignCenter);
      s_.Font(7.5);
      s_.Text(kCellName + 1.2, y - pitch / 2, kBlockRight - kCellName - 2, pitch, g.terminals[i].name,
              Qt::AlignLeft | Qt::AlignVCenter);
    }
  }

  void Screw(double y) {
    s_.Pen(0.3);
    s_.Dot(kBlockRight, y, 0.9, false);
  }

  void WireOut(double y, double to) {
    s_.Pen(0.35);
    s_.Line(kBlockRight + 0.9, y, to, y);
    Screw(y);
  }

  // Two lines of text in a load box: its name and what it is.
  void LoadBox(double x, double y, double w, double h, const QString& title, const QString& detail) {
    s_.Pen(0.4);
    s_.Box(x, y, w, h);
    s_.Font(7.5, true);
    const double inner = w - 3;
    if (detail.isEmpty()) {
      s_.Text(x + 1.5, y, inner, h, title, Qt::AlignCenter);
      return;
    }
    s_.Text(x + 1.5, y + h / 2 - 3.2, inner, 3.4, title, Qt::AlignHCenter | Qt::AlignBottom);
    s_.Font(6.5);
    s_.Text(x + 1.5, y + h / 2 + 0.1, inner, 3.4, detail, Qt::AlignHCenter | Qt::AlignTop);
  }

  // A box that all the group's wires enter: a supply, a receiver, the
  // adapter. The polarity is marked where each wire enters.
  void Spanning(const GROUP& g, const std::vector<double>& ys, double pitch) {
    const double top = ys.front() - pitch / 2 + 0.6;
    const double height = ys.back() - ys.front() + pitch - 1.2;
    for (std::size_t i = 0; i < ys.size(); ++i) {
      WireOut(ys[i], kBoxLeft);
    }
    LoadBox(kBoxLeft, top, kBoxRight - kBoxLeft, height, g.fields[1], g.fields[2]);
    if (g.kind != QLatin1String("service")) {
      s_.Font(8, true);
      s_.Text(kBoxLeft + 1, ys.front() - 2, 4, 4, QStringLiteral("+"), Qt::AlignCenter);
      s_.Text(kBoxLeft + 1, ys.back() - 2, 4, 4, QStringLiteral("\u2212"), Qt::AlignCenter);
    }
  }

  // A loop-powered unit: + to the supply's +, the supply's - to the
  // receiver's -, the receiver's + to the unit's -.
  void Loop(const GROUP& g, const std::vector<double>& ys, double pitch) {
    const double h = pitch - 1;
    const double w = kBoxRight - kBoxLeft;
    WireOut(ys[0], kBoxLeft);
    WireOut(ys[1], kBoxLeft);
    LoadBox(kBoxLeft, ys[0] - h / 2, w, h, g.fields[1], g.fields[2]);
    LoadBox(kBoxLeft, ys[1] - h / 2, w, h, g.fields[3], g.fields[4]);
    s_.Pen(0.35);
    s_.Line(kBoxRight, ys[0], kEnd, ys[0]);
    s_.Line(kEnd, ys[0], kEnd, ys[1]);
    s_.Line(kEnd, ys[1], kBoxRight, ys[1]);
    s_.Font(8, true);
    for (const double y : ys) {
      s_.Text(kBoxLeft - 5, y - 4.2, 4, 4, QStringLiteral("+"), Qt::AlignCenter);
      s_.Text(kBoxRight + 1, y - 4.2, 4, 4, QStringLiteral("\u2212"), Qt::AlignCenter);
    }
    // The current's direction round the loop.
    s_.Font(6.5);
    s_.Text(kEnd + 1.5, (ys[0] + ys[1]) / 2 - 3, kRightLeft - kEnd - 6, 6, QStringLiteral("loop\ncurrent"));
    Arrow(kEnd, (ys[0] + ys[1]) / 2);
  }

  void Arrow(double x, double y) {
    // Pointing up: the current comes out of the receiver's - and goes back
    // into the supply's -.
    s_.Pen(0.35);
    s_.Line(x - 1.2, y + 1.5, x, y);
    s_.Line(x + 1.2, y + 1.5, x, y);
  }

  // COM, NO, NC with the changeover contact drawn in the terminal block (as
  // the relay rests, de-energised: COM to NC), the load between the named
  // contact and the load supply.
  void Relay(const GROUP& g, const std::vector<double>& ys, double) {
    const double yCom = ys[0], yNo = ys[1], yNc = ys[2];
    // The contact.
    s_.Pen(0.35);
    const double pivot = 41.5, noPoint = 45, ncPoint = 38.5;
    s_.Line(kCellNumber, yCom, pivot, yCom);
    s_.Line(kCellNumber, yNo, noPoint, yNo);
    s_.Line(kCellNumber, yNc, ncPoint - 0.8, yNc);
    s_.Line(pivot, yCom, ncPoint, yNc - 0.6);
    s_.Dot(pivot, yCom, 0.5, true);
    s_.Dot(noPoint, yNo, 0.45, false);

    const QString contact = g.fields[1];
    if (contact == QLatin1String("-")) {
      for (const double y : ys) {
        WireOut(y, kBlockRight + 5);
      }
      s_.Font(7);
      s_.Pen(0.3, QColor(90, 90, 90));
      s_.Text(kBlockRight + 7, yNo - 3.5, kEnd - kBlockRight - 2, 7, g.fields[2], Qt::AlignLeft | Qt::AlignVCenter);
      s_.Pen(0.3);
      return;
    }
    const double yLoad = contact == QLatin1String("NO") ? yNo : yNc;
    const double yFree = contact == QLatin1String("NO") ? yNc : yNo;
    WireOut(yCom, kEnd);
    End(kEnd, yCom, QStringLiteral("L  load supply"));
    WireOut(yLoad, kBoxLeft);
    const double h = 6.6;
    LoadBox(kBoxLeft, yLoad - h / 2, kBoxRight - kBoxLeft, h, g.fields[2], g.fields[3]);
    s_.Pen(0.35);
    s_.Line(kBoxRight, yLoad, kEnd, yLoad);
    End(kEnd, yLoad, QStringLiteral("N  load supply"));
    WireOut(yFree, kBlockRight + 5);
    s_.Font(6.5);
    s_.Text(kBlockRight + 6, yFree - 2, 20, 4, QStringLiteral("free"), Qt::AlignLeft | Qt::AlignVCenter);
  }

  void End(double x, double y, const QString& label) {
    s_.Pen(0.3);
    s_.Dot(x, y, 0.8, false);
    s_.Font(7);
    s_.Text(x + 1.6, y - 2, kRightLeft - x - 6, 4, label, Qt::AlignLeft | Qt::AlignVCenter);
  }

  void Legend(double y) {
    const bool relays = std::any_of(d_.groups.begin(), d_.groups.end(),
                                    [](const GROUP& g) { return g.kind == QLatin1String("relay"); });
    s_.Pen(0.3);
    s_.Font(6.5);
    s_.Text(kBlockLeft, y, kRightLeft - kBlockLeft - 8, 10,
            relays ? QStringLiteral("Relay contacts are drawn as the relay rests (de-energised: COM to NC). "
                                    "\u25CB terminal screw. L and N: the supply of the loads, from the panel.")
                   : QStringLiteral("\u25CB terminal screw."));
  }

  // The table of functions per configuration; returns its bottom.
  double Table() {
    double y = kWiringTop + 6;
    if (d_.table.isEmpty()) {
      return y;
    }
    const double width = kRightRight - kRightLeft;
    const auto columns = static_cast<std::size_t>(d_.table.size());
    // The widths: each column at least as wide as its header and its longest
    // word; the rest of the table's width shared in proportion to what each
    // column's widest text on one line would need beyond that.
    std::vector<double> natural(columns, 0.0), least(columns, 0.0);
    for (std::size_t c = 0; c < columns; ++c) {
      s_.Font(6.5, true);
      natural[c] = least[c] = s_.TextWidth(d_.table[static_cast<qsizetype>(c)]);
      s_.Font(6.5);
      for (const QStringList& r : d_.rows) {
        const QString& cell = r[static_cast<qsizetype>(c)];
        natural[c] = std::max(natural[c], s_.TextWidth(cell));
        for (const QString& word : cell.split(QLatin1Char(' '))) {
          least[c] = std::max(least[c], s_.TextWidth(word));
        }
      }
      natural[c] += 2.0;
      least[c] += 2.0;
    }
    double naturalSum = 0, leastSum = 0;
    for (std::size_t c = 0; c < columns; ++c) {
      naturalSum += natural[c];
      leastSum += least[c];
    }
    std::vector<double> lefts(columns, kRightLeft), widths(columns, 0.0);
    for (std::size_t c = 0; c < columns; ++c) {
      widths[c] = naturalSum <= width || naturalSum <= leastSum
                      ? width * natural[c] / naturalSum
                      : least[c] + (width - leastSum) * (natural[c] - least[c]) / (naturalSum - leastSum);
      if (c > 0) {
        lefts[c] = lefts[c - 1] + widths[c - 1];
      }
    }
    auto columnLeft = [&](std::size_t c) { return lefts[c]; };
    auto columnWidth = [&](std::size_t c) { return widths[c]; };
    auto row = [&](const QStringList& cells, bool header) {
      s_.Font(6.5, header);
      double h = 0;
      for (std::size_t c = 0; c < columns; ++c) {
        h = std::max(h, s_.TextHeight(columnWidth(c) - 1.6, cells[static_cast<qsizetype>(c)]));
      }
      h += 1.4;
      s_.Pen(0.25);
      for (std::size_t c = 0; c < columns; ++c) {
        s_.Box(columnLeft(c), y, columnWidth(c), h, header ? QColor(230, 230, 230) : QColor(Qt::white));
        s_.Text(columnLeft(c) + 0.8, y + 0.7, columnWidth(c) - 1.6, h, cells[static_cast<qsizetype>(c)]);
      }
      y += h;
    };
    s_.Font(8, true);
    s_.Text(kRightLeft, y - 5, width, 5, d_.tableTitle);
    row(d_.table, true);
    for (const QStringList& r : d_.rows) {
      row(r, false);
    }
    return y;
  }

  double Notes(double y) {
    const double width = kRightRight - kRightLeft;
    s_.Pen(0.3);
    for (const QString& n : d_.notes) {
      s_.Font(6.8);
      const double h = s_.TextHeight(width - 3, n);
      s_.Text(kRightLeft, y, 3, h, QStringLiteral("\u2022"));
      s_.Text(kRightLeft + 3, y, width - 3, h, n);
      y += h + 1.2;
    }
    return y;
  }

  void TitleBlock() {
    const double x = kRightLeft, w = kRightRight - kRightLeft;
    const double labelWidth = 24;
    struct FIELD {
      QString label;
      QString value;
    };
    const std::vector<FIELD> fields = {{QStringLiteral("Model"), d_.model},
                                       {QStringLiteral("Configuration"), d_.configuration},
                                       {QStringLiteral("Serves"), d_.serves},
                                       {QStringLiteral("Drawing"), name_},
                                       {QStringLiteral("Sheet"), QStringLiteral("1 of 1, not to scale")}};
    double y = kTitleTop;
    s_.Pen(0.5);
    s_.Box(x, y, w, kFrameBottom - 4 - y);
    s_.Pen(0.25);
    for (const FIELD& f : fields) {
      s_.Font(7.2, f.label == QLatin1String("Drawing"));
      double h = std::max(5.6, s_.TextHeight(w - labelWidth - 2, f.value) + 1.6);
      s_.Font(6.5);
      s_.Text(x + 1, y + 0.9, labelWidth, h, f.label);
      s_.Font(7.2, f.label == QLatin1String("Drawing"));
      s_.Text(x + labelWidth, y + 0.8, w - labelWidth - 1.5, h, f.value);
      y += h;
      s_.Line(x, y, x + w, y);
    }
    s_.Font(6.5);
    s_.Text(x + 1, y + 0.8, w - 2, kFrameBottom - 4 - y, QStringLiteral("Tolvane wiring drawings"));
  }

  CSheet& s_;
  const DRAWING& d_;
  QString name_;
};

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: tolvane-wiring-pdf DRAWING.txt DRAWING.pdf\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString target = QString::fromLocal8Bit(argv[2]);
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  QString error;
  const std::optional<DRAWING> drawing = Parse(QString::fromUtf8(in.readAll()), error);
  if (!drawing) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.toLocal8Bit().constData());
    return 1;
  }
  const QString name = QFileInfo(target).fileName();
  const QString partial = target + QStringLiteral(".part");
  bool painted = false;
  {
    QPdfWriter pdf(partial);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
    pdf.setResolution(600);
    pdf.setTitle(drawing->model + QStringLiteral(" wiring: ") + drawing->configuration + QStringLiteral(", ") +
                 drawing->serves);
    pdf.setCreator(QStringLiteral("Tolvane"));
    QPainter painter(&pdf);
    CSheet sheet(painter);
    CDrawingPainter drawingPainter(sheet, *drawing, name);
    painted = drawingPainter.Paint(error);
  }
  if (!painted) {
    QFile::remove(partial);
    std::fprintf(stderr, "%s: %s\n", argv[1], error.toLocal8Bit().constData());
    return 1;
  }
  QFile::remove(target);
  if (QFileInfo(partial).size() <= 0 || !QFile::rename(partial, target)) {
    std::fprintf(stderr, "no drawing written to %s\n", argv[2]);
    return 1;
  }
  return 0;
}
