// Makes the installed files that orvi's own code draws or writes, so that they cannot drift
// from what the program does:
//   orvi-assets settings DIR       DIR/orvi.ini with the defaults, as orvi creates it when missing
//   orvi-assets icon FILE.png SIZE the upright face on a transparent ground, SIZE pixels square
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "CExperiment.h"
#include "FaceRenderer.h"
#include "FolderPlatform.h"
#include "PosixFileSystem.h"
#include "QImageCanvas.h"
#include "ViewEnums.h"

namespace {

constexpr int kUprightViewpoint = 4;  // 5 in the record file

int WriteSettings(const std::filesystem::path& dir) {
    const std::filesystem::path ini = dir / "orvi.ini";
    std::error_code error;
    std::filesystem::remove(ini, error);  // an existing file would be read, not written
    FolderPlatform platform((dir / "orvi").string());
    PosixFileSystem files;
    { CExperiment experiment(platform, files); }
    if (!std::filesystem::exists(ini)) {
        std::fprintf(stderr, "orvi-assets: %s was not written\n", ini.c_str());
        return 1;
    }
    return 0;
}

int WriteIcon(char** argv, const char* file, int size) {
    // The status box needs Qt's fonts; it is drawn in a right margin that is cut away.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qargc = 1;
    QGuiApplication app(qargc, argv);
    constexpr int kMargin = 200;  // wider than the status box
    QImageCanvas canvas(size + 2 * kMargin, size);
    SceneState scene{};
    scene.faceMode = FACE_PLAIN;
    scene.redrawFace = 1;
    scene.viewpoint = kUprightViewpoint;
    FaceRenderer::Draw(canvas, scene);
    QImage icon =
        canvas.image().copy(kMargin, 0, size, size).convertToFormat(QImage::Format_ARGB32);
    // Drawing is aliased, so the ground is exactly the renderer's grey and nothing inside is.
    const QRgb ground = qRgb(FaceRenderer::kGrey.r, FaceRenderer::kGrey.g, FaceRenderer::kGrey.b);
    for (int y = 0; y < size; ++y) {
        auto* row = reinterpret_cast<QRgb*>(icon.scanLine(y));
        for (int x = 0; x < size; ++x) {
            if (row[x] == ground) row[x] = qRgba(0, 0, 0, 0);
        }
    }
    if (!icon.save(QString::fromLocal8Bit(file), "PNG")) {
        std::fprintf(stderr, "orvi-assets: cannot write %s\n", file);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "settings" && argc == 3) return WriteSettings(argv[2]);
    if (command == "icon" && argc == 4 && std::atoi(argv[3]) > 0) {
        return WriteIcon(argv, argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr, "usage: orvi-assets settings DIR | icon FILE.png SIZE\n");
    return 2;
}
