// Writes the quick start guide, an HTML page with its pictures, as a PDF
// document: tolvane-guide-pdf <guide.htm> <guide.pdf>. Run at build time on
// the offscreen platform.
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: tolvane-guide-pdf GUIDE.htm GUIDE.pdf\n");
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString target = QString::fromLocal8Bit(argv[2]);
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  QTextDocument document;
  // Pictures are named relative to the page.
  document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(source).absolutePath() + QLatin1Char('/')));
  document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
  document.setHtml(QString::fromUtf8(in.readAll()));

  {
    QPdfWriter pdf(target);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(18, 16, 18, 16), QPageLayout::Millimeter);
    pdf.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
    pdf.setCreator(QStringLiteral("Tolvane"));
    document.print(&pdf);
  }
  if (QFileInfo(target).size() <= 0) {
    std::fprintf(stderr, "no document written to %s\n", argv[2]);
    return 1;
  }
  return 0;
}
