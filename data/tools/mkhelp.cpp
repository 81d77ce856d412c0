// Turns the Markdown user guide into the PDF that the Help command opens.
//   hx_mkhelp INPUT.md OUTPUT.pdf
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: hx_mkhelp INPUT.md OUTPUT.pdf\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "hx_mkhelp: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument doc;
    doc.setMarkdown(QString::fromUtf8(in.readAll()));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet(QStringLiteral("th, td { padding: 3px; }"));

    const QString outName = QString::fromLocal8Bit(argv[2]);
    {
        QPdfWriter pdf(outName);
        pdf.setTitle(QStringLiteral("Horolux User Guide"));
        pdf.setCreator(QStringLiteral("Horolux"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
        doc.print(&pdf);
    }
    // The writer stamps the build time; a fixed date of the same length keeps
    // the file identical from build to build without moving any offset.
    QFile out(outName);
    if (!out.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "hx_mkhelp: cannot reopen %s\n", argv[2]);
        return 1;
    }
    QByteArray bytes = out.readAll();
    const QByteArray key("/CreationDate (D:");
    const QByteArray fixed("20260101000000");
    qsizetype at = bytes.indexOf(key);
    if (at >= 0) {
        at += key.size();
        for (qsizetype i = 0; i < fixed.size() && at + i < bytes.size(); ++i) {
            if (bytes[at + i] < '0' || bytes[at + i] > '9') break;
            bytes[at + i] = fixed[i];
        }
        out.seek(0);
        out.write(bytes);
    }
    return 0;
}
