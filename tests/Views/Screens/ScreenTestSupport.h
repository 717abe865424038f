#pragma once

#include "Views/Kit/RevealInFinder.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace quorvane::testing {

// Answers the save panel with a fixed path (none: cancelled) and keeps what it was asked.
class AnsweringSavePanel : public SaveLocationProvider {
public:
    std::optional<QString> answer;
    std::vector<SaveRequest> asked;

    std::optional<QString> chooseSaveLocation(QWidget*, const SaveRequest& request) override {
        asked.push_back(request);
        return answer;
    }
};

class RecordingClipboard : public Clipboard {
public:
    QStringList texts;
    void setText(const QString& text) override { texts << text; }
};

// Records what the screens ask of the file manager; installed for the test's lifetime.
class FolderRecorder : public FileManager {
public:
    QStringList opened;
    QStringList selected;
    void selectItem(const QString& path) override { selected << path; }
    void openFolder(const QString& path) override { opened << path; }
};

class InstalledFolderRecorder {
public:
    InstalledFolderRecorder() {
        auto recorder = std::make_unique<FolderRecorder>();
        m_recorder = recorder.get();
        setFileManager(std::move(recorder));
    }
    ~InstalledFolderRecorder() { setFileManager(nullptr); }
    FolderRecorder* operator->() const { return m_recorder; }

private:
    FolderRecorder* m_recorder;
};

// Screen services whose panel and clipboard the test holds.
struct FakeScreenServices {
    std::shared_ptr<AnsweringSavePanel> panel = std::make_shared<AnsweringSavePanel>();
    std::shared_ptr<RecordingClipboard> clipboard = std::make_shared<RecordingClipboard>();

    ScreenServices services() const { return {panel, clipboard, std::make_shared<Formatters>()}; }
};

} // namespace quorvane::testing
