#pragma once

#include "app/MainWindow.h"
#include "app/controls/CommandButton.h"
#include "app/controls/LabelControl.h"
#include "style/ByteTypes.h"
#include "support/ScriptedDialogs.h"

#include "support/TemporaryFolder.h"
#include <QAction>
#include <QColor>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const QColor& colour, std::ostream* out) {
    *out << "(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ")";
}

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace korvane::testing {

// The bytes of a small style file: header events, one section per name (each playing its own
// note, so that its event bytes tell it apart) and a CASM chunk whose one CSEG names them all.
inline ByteArray MakeStyleBytes(const std::vector<std::string>& names, std::uint8_t firstNote) {
    auto append = [](ByteArray& bytes, std::initializer_list<int> values) {
        for (int value : values)
            bytes.push_back(std::uint8_t(value));
    };
    auto appendText = [](ByteArray& bytes, const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
    };
    auto appendLength = [](ByteArray& bytes, std::size_t length) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(std::uint8_t(length >> shift));
    };

    ByteArray track;
    append(track, {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08});
    append(track, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    append(track, {0x00, 0xFF, 0x06, 0x04});
    appendText(track, "SFF1");
    append(track, {0x00});
    std::string sdec;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int note = firstNote + int(i);
        append(track, {0xFF, 0x06, int(names[i].size())});
        appendText(track, names[i]);
        append(track, {0x00, 0x90, note, 0x64, 0x60, 0x80, note, 0x00, 0x00});
        sdec += (i ? "," : "") + names[i];
    }
    append(track, {0xFF, 0x2F, 0x00});

    ByteArray cseg;
    appendText(cseg, "Sdec");
    appendLength(cseg, sdec.size());
    appendText(cseg, sdec);
    appendText(cseg, "Ctab");
    appendLength(cseg, 3);
    append(cseg, {0x01, 0x02, 0x03});

    ByteArray bytes;
    appendText(bytes, "MThd");
    append(bytes, {0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0});
    appendText(bytes, "MTrk");
    appendLength(bytes, track.size());
    bytes.insert(bytes.end(), track.begin(), track.end());
    appendText(bytes, "CASM");
    appendLength(bytes, cseg.size() + 8);
    appendText(bytes, "CSEG");
    appendLength(bytes, cseg.size());
    bytes.insert(bytes.end(), cseg.begin(), cseg.end());
    return bytes;
}

// The event bytes MakeStyleBytes gives section i.
inline ByteArray SectionEventBytes(std::uint8_t firstNote, int i) {
    const std::uint8_t note = std::uint8_t(firstNote + i);
    return {0x00, 0x90, note, 0x64, 0x60, 0x80, note, 0x00, 0x00};
}

inline QColor Rgb(int red, int green, int blue) {
    return QColor(red, green, blue);
}

inline const std::vector<std::string> kSixteenLayout = {
    "SInt",       "Main A",     "Fill In AA", "Intro A",   "Ending A", "Main B",
    "Fill In BB", "Fill In BA", "Intro B",    "Ending B",  "Main C",   "Fill In CC",
    "Intro C",    "Ending C",   "Main D",     "Fill In DD"};

// A main window in a fresh start-up folder, its message boxes and file dialogs answered by script.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { m_previousFolder = std::filesystem::current_path(); }

    void TearDown() override {
        m_window.reset();
        std::filesystem::current_path(m_previousFolder);
    }

    std::string Folder() const { return m_folder.Path(); }

    std::string PathOf(const std::string& name) const { return Folder() + "/" + name; }

    void WriteFile(const std::string& name, const ByteArray& bytes) const {
        std::ofstream out(PathOf(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    void WriteFile(const std::string& name, const std::string& text) const {
        std::ofstream out(PathOf(name), std::ios::binary);
        out << text;
    }

    std::string WriteStyle(const std::string& name, const std::vector<std::string>& sections,
                           std::uint8_t firstNote = 0x3C) const {
        WriteFile(name, MakeStyleBytes(sections, firstNote));
        return PathOf(name);
    }

    // Dialogs the window runs are recorded by title and cancelled, unless a test answers them.
    CMainDlg& StartWindow() {
        m_window = std::make_unique<CMainDlg>(messages, dialogs, folderBrowser, Folder());
        // Preferences offers these MIDI output ports, never the machine's.
        m_window->SetOutputPortLister([this] { return outputPorts; });
        m_window->SetDialogRunner([this](QDialog& dialog) {
            shownDialogs.push_back(dialog.windowTitle().toStdString());
            return int(QDialog::Rejected);
        });
        m_window->show();
        return *m_window;
    }

    CMainDlg& Window() { return *m_window; }

    template <typename T> T* Find(const QString& name) {
        T* child = m_window->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }

    CLabelControl* Source(int row) {
        return Find<CLabelControl>(QString("sourceLabel%1").arg(row));
    }
    CLabelControl* Destination(int slot) {
        return Find<CLabelControl>(QString("destinationLabel%1").arg(slot));
    }
    CLabelControl* Assignment(int row) {
        return Find<CLabelControl>(QString("assignmentLabel%1").arg(row));
    }
    CLabelControl* Label(const char* name) { return Find<CLabelControl>(name); }
    CCommandButton* Button(const char* name) { return Find<CCommandButton>(name); }
    QAction* Action(const char* name) { return Find<QAction>(name); }
    QComboBox* ModelSelector() { return Find<QComboBox>("modelSelector"); }

    static void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton); }

    // Opens a style file through the Open button, the file dialog answering with path.
    void OpenThroughButton(const std::string& path) {
        dialogs.choices.push_back(path);
        Click(Button("openButton"));
    }

    void Assign(int sourceRow, int slot) {
        Click(Source(sourceRow));
        Click(Destination(slot));
    }

    enum class Column { Source, Destination, Assignment };

    // The 16 captions of a column, top to bottom.
    std::vector<std::string> Captions(Column column) {
        std::vector<std::string> captions;
        for (int row = 0; row < 16; ++row) {
            CLabelControl* label = column == Column::Source        ? Source(row)
                                   : column == Column::Destination ? Destination(row)
                                                                   : Assignment(row);
            captions.push_back(label->GetCaption());
        }
        return captions;
    }

    static QColor TextColour(const QWidget* widget) {
        return widget->palette().color(QPalette::WindowText);
    }
    static QColor ButtonTextColour(const QWidget* button) {
        return button->palette().color(QPalette::ButtonText);
    }
    static QColor ButtonBackground(const QWidget* button) {
        return button->palette().color(QPalette::Button);
    }

    CScriptedMessageBox messages;
    CScriptedFileDialogs dialogs;
    CScriptedFolderBrowser folderBrowser;
    std::vector<std::string> outputPorts; // what Preferences lists as MIDI output ports
    std::vector<std::string> shownDialogs;

private:
    CTemporaryFolder m_folder;
    std::filesystem::path m_previousFolder;
    std::unique_ptr<CMainDlg> m_window;
};

inline const char* const kSwitchedButtons[] = {"saveButton",       "clearButton",
                                               "propertiesButton", "voicesButton",
                                               "copyAllButton",    "storePatternButton"};

} // namespace korvane::testing
