// Draws the real window and its dialogs offscreen and saves them as the help's pictures:
//   korvane-helpshots OUTPUT_FOLDER
// The window shows a small style with two sections assigned, so the pictures show the columns at
// work.

#include "app/MainWindow.h"
#include "app/ProgramLook.h"
#include "app/pictures/SectionLabels.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// No message box is shown while the pictures are taken.
class CSilentMessageBox : public korvane::IMessageBox {
public:
    korvane::MessageAnswer Show(const std::string&, const std::string&, korvane::MessageIcon,
                                korvane::MessageButtons buttons) override {
        return buttons == korvane::MessageButtons::YesNo ? korvane::MessageAnswer::No
                                                         : korvane::MessageAnswer::Ok;
    }
};

class CNoFileDialogs : public korvane::IFileDialogs {
public:
    std::optional<std::string> GetOpenFileName(const std::string&,
                                               const std::vector<korvane::FileFilter>&) override {
        return std::nullopt;
    }
    std::optional<std::string> GetSaveFileName(const std::string&, const std::string&,
                                               const std::vector<korvane::FileFilter>&) override {
        return std::nullopt;
    }
};

void Append(QByteArray& bytes, std::initializer_list<int> values) {
    for (int value : values)
        bytes.append(char(value));
}

void AppendLength(QByteArray& bytes, qsizetype length) {
    Append(bytes, {int(length >> 24) & 0xFF, int(length >> 16) & 0xFF, int(length >> 8) & 0xFF,
                   int(length) & 0xFF});
}

// A style with a tempo, a time signature, a name and one note per section.
QByteArray SampleStyle() {
    const std::vector<std::string> names = {"SInt",       "Intro A",    "Main A",  "Main B",
                                            "Fill In AA", "Fill In BB", "Ending A"};
    QByteArray track;
    Append(track, {0x00, 0xFF, 0x03, 0x0A});
    track.append("Pop Ballad");
    Append(track, {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08});
    Append(track, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    Append(track, {0x00, 0xFF, 0x06, 0x04});
    track.append("SFF1");
    Append(track, {0x00});
    QByteArray sdec;
    for (std::size_t i = 0; i < names.size(); ++i) {
        Append(track, {0xFF, 0x06, int(names[i].size())});
        track.append(names[i].c_str());
        if (i == 0) {
            // SInt sets up the eight parts on channels 9 to 16: bank, program and mixer.
            const int voices[8][3] = {{127, 0, 0}, {127, 0, 8}, {0, 0, 33}, {0, 0, 0},
                                      {0, 0, 27},  {0, 0, 48},  {8, 0, 66}, {0, 0, 56}};
            for (int part = 0; part < 8; ++part) {
                const int control = 0xB8 + part;
                Append(track, {0x00,
                               control,
                               0x00,
                               voices[part][0],
                               0x00,
                               0x20,
                               voices[part][1],
                               0x00,
                               0xC8 + part,
                               voices[part][2],
                               0x00,
                               control,
                               0x07,
                               100 - 4 * part,
                               0x00,
                               0x0A,
                               40 + 6 * part,
                               0x00,
                               0x5B,
                               40,
                               0x00,
                               0x5D,
                               8 * part});
            }
        }
        const int note = 0x3C + int(i);
        Append(track, {0x00, 0x90, note, 0x64, 0x60, 0x80, note, 0x00, 0x00});
        sdec.append(i ? "," : "");
        sdec.append(names[i].c_str());
    }
    Append(track, {0xFF, 0x2F, 0x00});

    QByteArray cseg("Sdec");
    AppendLength(cseg, sdec.size());
    cseg.append(sdec);
    cseg.append("Ctab");
    AppendLength(cseg, 3);
    Append(cseg, {0x01, 0x02, 0x03});

    QByteArray bytes("MThd");
    Append(bytes, {0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0});
    bytes.append("MTrk");
    AppendLength(bytes, track.size());
    bytes.append(track);
    bytes.append("CASM");
    AppendLength(bytes, cseg.size() + 8);
    bytes.append("CSEG");
    AppendLength(bytes, cseg.size());
    bytes.append(cseg);
    return bytes;
}

bool Save(QWidget& widget, const QString& path) {
    // The whole dialog, as a screen large enough for it shows it.
    widget.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    widget.resize(widget.sizeHint().expandedTo(widget.size()));
    widget.show();
    QApplication::processEvents();
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "korvane-helpshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    korvane::ApplyProgramLook();
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvane-helpshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir startFolder;
    if (!startFolder.isValid() || !QDir().mkpath(output.absolutePath()))
        return 1;
    std::filesystem::current_path(startFolder.path().toStdString());

    const QString style = startFolder.filePath(QStringLiteral("Pop Ballad.sty"));
    QFile file(style);
    if (!file.open(QIODevice::WriteOnly) || file.write(SampleStyle()) < 0)
        return 1;
    file.close();

    // Folders as a user would have them, not the temporary start-up folder.
    QFile ini(startFolder.filePath(QStringLiteral("Korvane.ini")));
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write("[Style Base]\nfolder=/home/user/Styles\n"
                  "[Audit Location]\nfolder=/home/user/.cache/korvane\n"
                  "[PSR Model]\nmodel=7\n[Most Recently Used]\nsize=4\n") < 0)
        return 1;
    ini.close();

    CSilentMessageBox messages;
    CNoFileDialogs fileDialogs;
    korvane::CMainDlg window(messages, fileDialogs, startFolder.path().toStdString());
    // The picture shows the same ports wherever it is built, never the build machine's.
    window.SetOutputPortLister([] {
        return std::vector<std::string>{"PSR-540 MIDI 1", "Midi Through Port-0"};
    });
    bool saved = true;
    // Preferences before the file is opened: Open moves the default style location to its folder.
    window.SetDialogRunner([&](QDialog& dialog) {
        saved &= Save(dialog, output.filePath(QStringLiteral("preferences.png")));
        return int(QDialog::Rejected);
    });
    window.OnPreferences();
    window.OpenFile(style.toStdString());
    window.OnSourceLabelClick(0);
    window.OnDestinationLabelClick(0);
    window.OnSourceLabelClick(2);
    window.OnDestinationLabelClick(1);
    window.OnSourceLabelClick(1);

    saved &= Save(window, output.filePath(QStringLiteral("main-window.png")));
    // Each dialog is drawn as its command makes it, and then dismissed.
    const std::pair<void (korvane::CMainDlg::*)(), const char*> dialogs[] = {
        {&korvane::CMainDlg::OnProperties, "properties.png"},
        {&korvane::CMainDlg::OnVoices, "voices.png"},
        {&korvane::CMainDlg::OnAbout, "about.png"},
    };
    for (const auto& [command, name] : dialogs) {
        window.SetDialogRunner([&, picture = QString::fromLatin1(name)](QDialog& dialog) {
            saved &= Save(dialog, output.filePath(picture));
            return int(QDialog::Rejected);
        });
        (window.*command)();
    }
    // A section's picture, as its source label's tooltip shows it, from one of the examples.
    if (window.OpenFile(KORVANE_EXAMPLE_STYLE) == korvane::ReadResult::Ok) {
        auto* mainA = window.findChild<QLabel*>(QStringLiteral("sourceLabel1"));
        QLabel tip(window.GetSectionLabels()->PictureTip(mainA));
        tip.setStyleSheet(QStringLiteral("QLabel { background: #ffffdc; color: black; "
                                         "border: 1px solid #767676; padding: 2px; }"));
        saved &= Save(tip, output.filePath(QStringLiteral("section-picture.png")));
    }
    return saved ? 0 : 1;
}
