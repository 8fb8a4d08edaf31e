#include "ui/qt/Pictures.h"

#include "resources/DialogTemplates.h"

#include <QPainter>
#include <QSvgRenderer>

// The pictures live in a static library, whose resource registration the
// linker may drop: register them before the first use.
static void RegisterPictures()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(pictures);
        return true;
    }();
    (void)registered;
}

namespace {

struct PictureFile {
    std::string_view name;
    const char* file;
    int width;
    int height;
};

constexpr PictureFile kPictures[] = {
    {kBitmapWizard, ":/pictures/wizard.svg", 107, 263},       {kBitmapAboutUp, ":/pictures/about-up.svg", 48, 48},
    {kBitmapAboutDown, ":/pictures/about-down.svg", 48, 48},  {kIconApplication, ":/pictures/app-icon.svg", 32, 32},
    {kIconInformation, ":/pictures/status-info.svg", 32, 32}, {kIconQuestion, ":/pictures/status-question.svg", 32, 32},
    {kIconStop, ":/pictures/status-stop.svg", 32, 32},
};

QPixmap Render(const char* file, int width, int height)
{
    RegisterPictures();
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer{QString::fromLatin1(file)};
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(0, 0, width, height));
    return pixmap;
}

}  // namespace

QPixmap Picture(std::string_view name)
{
    for (const PictureFile& picture : kPictures)
        if (picture.name == name)
            return Render(picture.file, picture.width, picture.height);
    return {};
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(Render(":/pictures/app-icon.svg", size, size));
    return icon;
}
