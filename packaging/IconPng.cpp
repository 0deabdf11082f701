// Renders the program's SVG icon as a square PNG of the given size, for the icon theme's fixed sizes.
// Usage: quillon_icon_png SVG SIZE PNG
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QTextStream err(stderr);
    bool sizeOk = false;
    const int size = args.size() == 4 ? args[2].toInt(&sizeOk) : 0;
    if (!sizeOk || size <= 0) {
        err << "usage: quillon_icon_png SVG SIZE PNG\n";
        return 2;
    }
    QImageReader reader(args[1]);
    reader.setScaledSize(QSize(size, size));
    const QImage image = reader.read();
    if (image.isNull()) {
        err << "cannot read " << args[1] << ": " << reader.errorString() << '\n';
        return 1;
    }
    if (!image.save(args[3], "PNG")) {
        err << "cannot write " << args[3] << '\n';
        return 1;
    }
    return 0;
}
