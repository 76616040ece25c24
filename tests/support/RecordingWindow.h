#pragma once
// A WindowSeam for tests: it records what a command asks of the window and answers from
// values the test sets beforehand.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tool/FieldDefaults.h"
#include "tool/WindowSeam.h"

namespace vexaro::test {

class RecordingWindow : public WindowSeam {
public:
    // One caption drawn through drawCaption.
    struct Caption {
        int x = 0;
        int y = 0;
        std::string text;
        CaptionStyle style;
    };

    // The fifteen bitmap number fields' design defaults, Edit1 to Edit15.
    static std::map<int, std::string> DefaultFields()
    {
        std::map<int, std::string> fields;
        for (int n = 1; n <= kFieldCount; ++n)
            fields[n] = FieldDefault(n);
        return fields;
    }

    // Progress calls in order: "max N", "position N", "step N", "stepit".
    std::vector<std::string> progressCalls;
    // The progress bar's state. The position is plain arithmetic (set, plus step per stepit),
    // not held inside the maximum, so that tests see exactly what a command asked for.
    int progressMax = 100;
    int position = 0;
    int step = 10;

    std::vector<std::string> openCaptions;
    int processMessagesCount = 0;
    std::vector<std::string> messages;
    std::vector<Caption> captions;

    std::map<int, std::string> fields = DefaultFields();
    // Fields read, in order (field numbers).
    mutable std::vector<int> fieldReads;
    Rgb face{212, 208, 200};

    // Optional: run on every processMessages call (for commands that must keep the window alive).
    std::function<void()> onProcessMessages;
    // Optional: paint for drawCaption, which otherwise only records.
    std::function<void(Bitmap&, int, int, const std::string&, const CaptionStyle&)> onDrawCaption;

    void setProgressMax(int max) override
    {
        progressMax = max;
        progressCalls.push_back("max " + std::to_string(max));
    }
    void setProgressPosition(int newPosition) override
    {
        position = newPosition;
        progressCalls.push_back("position " + std::to_string(newPosition));
    }
    int progressPosition() const override { return position; }
    void setProgressStep(int newStep) override
    {
        step = newStep;
        progressCalls.push_back("step " + std::to_string(newStep));
    }
    void stepProgress() override
    {
        position += step;
        progressCalls.push_back("stepit");
    }

    void setOpenCaption(const std::string& caption) override { openCaptions.push_back(caption); }

    void processMessages() override
    {
        ++processMessagesCount;
        if (onProcessMessages)
            onProcessMessages();
    }

    // An unset field reads as empty text.
    std::string fieldText(int n) const override
    {
        fieldReads.push_back(n);
        const auto it = fields.find(n);
        return it == fields.end() ? std::string() : it->second;
    }

    void showMessage(const std::string& text) override { messages.push_back(text); }

    Rgb faceColour() const override { return face; }

    void drawCaption(Bitmap& picture, int x, int y, const std::string& text, const CaptionStyle& style) override
    {
        captions.push_back({x, y, text, style});
        if (onDrawCaption)
            onDrawCaption(picture, x, y, text, style);
    }
};

} // namespace vexaro::test
