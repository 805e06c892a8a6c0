#pragma once

#include "directory/ampnamefile.h"
#include "platform/profileini.h"

#include <QString>
#include <QTime>

#include <array>

class SavedFiles;

// What the sources window edits: the names of the eight amplifiers and the
// eight devices and the frequencies of the eight programme sources
// (amp_name.dat), and the lead time of each device (section "外设提前" of
// config.ini). Numbers run 1..8 as the operator counts them.
class SourceNames
{
public:
    static constexpr int kCount = 8;

    enum class Part { Amp, Frequency, Device };
    struct Field
    {
        Part part = Part::Amp;
        int number = 0; // 1..8; 0 when no field is meant
    };

    struct SaveResult
    {
        enum class Outcome {
            Saved, // both files hold the fields
            Refused, // a field cannot be stored; nothing was written
            Failed, // a file could not be written
        };
        Outcome outcome = Outcome::Failed;
        QString message; // for the operator when not saved
        Field field; // the field that cannot be stored, when refused
        // What reached the files, for the console's values in memory: the
        // frequencies when amp_name.dat was written, and the lead times of
        // devices 1..leadTimesWritten.
        bool namesWritten = false;
        int leadTimesWritten = 0;
    };

    SourceNames(QString ampNamePath, QString configIniPath);

    // Reads both files. A missing or short amp_name.dat leaves the fields it
    // lacks empty; a lead time that is no time of day reads as no lead.
    void load();
    // Why amp_name.dat could not be read whole; empty when it was, or when it
    // does not exist.
    QString loadProblem() const { return m_loadProblem; }

    QString ampName(int n) const;
    QString deviceName(int n) const;
    QString frequency(int n) const; // as typed, in MHz
    QTime leadTime(int n) const;
    QString text(Field field) const;

    // Each change of a field marks the contents modified. Names lose the
    // blanks and tabs around them, so what is saved is what the window shows
    // once the field is left.
    void setAmpName(int n, const QString &name);
    void setDeviceName(int n, const QString &name);
    void setFrequency(int n, const QString &text);
    void setLeadTime(int n, QTime time);

    bool isModified() const { return m_modified; }
    // The operator chose to drop the changes.
    void discardChanges() { m_modified = false; }

    // Writes amp_name.dat and then the eight lead times. Clears the modified
    // flag only when everything was written. Whatever reached the files is
    // announced to saved, once: the console reads the frequencies and lead
    // times from them again.
    SaveResult save(SavedFiles &saved);

    // The values the running console keeps: tenths of a MHz and "hh:mm:ss".
    qint16 frequencyTenthsOf(int n) const;
    QString leadTimeText(int n) const;

    // What a frequency field takes: digits and points (any number of them).
    static QString frequencyCharacters();
    // 70 to 110 MHz, both included; the value is the leading number of the
    // text, and empty text is 0.
    static bool frequencyInRange(const QString &text);
    // The field that cannot be stored in the files, with the reason, if any.
    QString unstorableReason(Field *field) const;
    // "功放3", "外设3", "节目源3".
    static QString fieldLabel(Field field);

private:
    void change(QString &stored, const QString &text);

    QString m_ampNamePath;
    ProfileIni m_configIni;
    AmpNames m_names;
    std::array<QTime, kCount> m_leadTimes {};
    QString m_loadProblem;
    bool m_modified = false;
};
