#pragma once

#include "platform/mixer.h"

#include <QList>

// A mixer that opens with the given result and records the volumes set.
class FakeMixer final : public Mixer
{
public:
    int open() override { return openResult; }
    std::optional<Range> speakerRange() const override { return speaker; }
    std::optional<Range> micRange() const override { return mic; }
    bool setSpeakerVolume(long value) override
    {
        speakerSet.append(value);
        return true;
    }
    bool setMicVolume(long value) override
    {
        micSet.append(value);
        return true;
    }

    int openResult = 0;
    std::optional<Range> speaker = Range {0, 65535};
    std::optional<Range> mic = Range {0, 65535};
    QList<long> speakerSet;
    QList<long> micSet;
};
