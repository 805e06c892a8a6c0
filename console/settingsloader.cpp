#include "console/settingsloader.h"

#include "directory/ampnamefile.h"
#include "directory/nodefile.h"
#include "platform/appfolder.h"
#include "platform/profileini.h"
#include "platform/userstore.h"
#include "schedule/timetext.h"
#include "web/webpassword.h"

#include <QDebug>

#include <variant>

namespace SettingsLoader {

namespace {

const QString kDisplayMode = QStringLiteral("DisplayMode");

// The fifteen keys of the store in their fixed order, each tied to its field,
// read default and first-run value.
struct TextKey
{
    const char16_t *key;
    QString AppSettings::*field;
    const char16_t *readDefault;
};
struct BoolKey
{
    const char16_t *key;
    bool AppSettings::*field;
    bool readDefault;
};
using KeySpec = std::variant<TextKey, BoolKey>;

const std::array<KeySpec, 15> &keySpecs()
{
    static const std::array<KeySpec, 15> specs = {
        KeySpec {TextKey {u"backimage", &AppSettings::BackImagePath, u"clouds.bmp"}},
        KeySpec {TextKey {u"userinfor", &AppSettings::UserName, u"新用户"}},
        KeySpec {BoolKey {u"dislaylist", &AppSettings::ShowWholeList, true}},
        KeySpec {BoolKey {u"weekmode", &AppSettings::WeekMode, true}},
        KeySpec {TextKey {u"defaultdatefile", &AppSettings::DateFilePath, u""}},
        KeySpec {TextKey {u"defaultweekfile", &AppSettings::WeekFilePath, u""}},
        KeySpec {BoolKey {u"shutdown", &AppSettings::AutoShutdown, false}},
        KeySpec {BoolKey {u"auto_set_open_time", &AppSettings::AutoSetPowerOnTime, true}},
        KeySpec {TextKey {u"com", &AppSettings::ComPort, u"com1"}},
        KeySpec {TextKey {u"openamptime", &AppSettings::AmpOpenLead, u"00:00:05"}},
        KeySpec {TextKey {u"closeamptime", &AppSettings::AmpCloseDelay, u"00:01:00"}},
        KeySpec {BoolKey {u"ampnoopen", &AppSettings::AmpNoOpen, false}},
        KeySpec {BoolKey {u"ampopenall", &AppSettings::AmpOpenAll, false}},
        KeySpec {BoolKey {u"ampopenchoice", &AppSettings::AmpOpenChoice, true}},
        KeySpec {BoolKey {u"rm_scope", &AppSettings::RemoteScope, false}},
    };
    return specs;
}

template<class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
// Spelled out: clang does not yet deduce an aggregate's template arguments.
template<class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

} // namespace

bool parseBoolean(const QString &text, bool *ok)
{
    const QString t = text.trimmed();
    *ok = true;
    if (t.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = t.toDouble(&isNumber);
    if (isNumber)
        return number != 0.0;
    *ok = false;
    return false;
}

QString booleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

Outcome LoadSettings(UserStore &store, const ProfileIni &configIni, const AppFolder &folder,
                     AppSettings &settings)
{
    Outcome outcome;
    if (store.setting(QStringLiteral("setted"), QStringLiteral("no")) != u"no") {
        for (const KeySpec &spec : keySpecs()) {
            std::visit(Overloaded {
                           [&](const TextKey &k) {
                               settings.*k.field = store.setting(QString::fromUtf16(k.key),
                                                                 QString::fromUtf16(k.readDefault));
                           },
                           [&](const BoolKey &k) {
                               const QString key = QString::fromUtf16(k.key);
                               const QString text = store.setting(key, booleanText(k.readDefault));
                               bool ok = false;
                               const bool value = parseBoolean(text, &ok);
                               settings.*k.field = ok ? value : k.readDefault;
                               if (!ok)
                                   outcome.unreadableKeys.append(key);
                           },
                       },
                       spec);
        }
        return outcome;
    }

    // First run: the designed values, written to the store (in one write of
    // its file) and config.ini.
    outcome.firstRun = true;
    const UserStore::Batch batch(store);
    AppSettings fresh;
    fresh.BackImagePath = folder.file(QStringLiteral("\\backimage\\clouds.bmp"));
    fresh.VolumeAdjustTime = QStringLiteral("33:33:33");
    fresh.TerminalVolume = QStringLiteral("22");
    for (const KeySpec &spec : keySpecs()) {
        std::visit(Overloaded {
                       [&](const TextKey &k) {
                           settings.*k.field = fresh.*k.field;
                           store.setSetting(QString::fromUtf16(k.key), fresh.*k.field);
                       },
                       [&](const BoolKey &k) {
                           settings.*k.field = fresh.*k.field;
                           store.setSetting(QString::fromUtf16(k.key), booleanText(fresh.*k.field));
                       },
                   },
                   spec);
    }
    settings.VolumeAdjustTime = fresh.VolumeAdjustTime;
    settings.TerminalVolume = fresh.TerminalVolume;
    store.setSetting(QStringLiteral("setted"), QStringLiteral("yes"));

    for (const auto &[key, value] :
         {std::pair {QStringLiteral("SetVolTime"), fresh.VolumeAdjustTime},
          std::pair {QStringLiteral("TermVol"), fresh.TerminalVolume}}) {
        const QString error = configIni.writeString(kDisplayMode, key, value);
        if (!error.isEmpty())
            outcome.warnings.append(QStringLiteral("config.ini: %1").arg(error));
    }
    return outcome;
}

void SaveSettings(UserStore &store, const AppSettings &settings)
{
    const UserStore::Batch batch(store);
    for (const KeySpec &spec : keySpecs()) {
        std::visit(Overloaded {
                       [&](const TextKey &k) {
                           store.setSetting(QString::fromUtf16(k.key), settings.*k.field);
                       },
                       [&](const BoolKey &k) {
                           store.setSetting(QString::fromUtf16(k.key),
                                            booleanText(settings.*k.field));
                       },
                   },
                   spec);
    }
}

namespace {
const QString kOperation = QStringLiteral("operation");
constexpr int kLongestKeep = 3650;
} // namespace

void LoadOperationOptions(const UserStore &store, AppSettings &settings)
{
    const AppSettings defaults;
    bool ok = false;
    const int days = store.value(kOperation, QStringLiteral("asrun_keep_days"), QString())
                         .trimmed()
                         .toInt(&ok);
    settings.AsRunKeepDays
        = ok && days >= 1 && days <= kLongestKeep ? days : defaults.AsRunKeepDays;
    const auto flag = [&](const QString &key, bool fallback) {
        bool read = false;
        const bool value = parseBoolean(store.value(kOperation, key, booleanText(fallback)), &read);
        return read ? value : fallback;
    };
    settings.SuperviseTerminals
        = flag(QStringLiteral("supervise_terminals"), defaults.SuperviseTerminals);
    settings.StartAtLogin = flag(QStringLiteral("start_at_login"), defaults.StartAtLogin);
    settings.WebControlEnabled = flag(QStringLiteral("web_control"), defaults.WebControlEnabled);
    const int port
        = store.value(kOperation, QStringLiteral("web_port"), QString()).trimmed().toInt(&ok);
    // Ports below 1024 need privileges the console does not have.
    settings.WebControlPort
        = ok && port >= 1024 && port <= 65535 ? quint16(port) : defaults.WebControlPort;
    settings.Seasons = SeasonTimetables::fromStoreText(
        store.value(kOperation, QStringLiteral("seasons"), QString()));
    // Only a hash of the right form counts as a password set; anything else
    // (an edited store) counts as none, which keeps the server on the
    // loopback.
    const QString hash = store.value(kOperation, QStringLiteral("web_password"), QString());
    settings.WebPasswordHash = WebPassword::isWellFormed(hash) ? hash : QString();
    settings.WebNetworkAllowed = flag(QStringLiteral("web_network"), defaults.WebNetworkAllowed);
    const int channel = store.value(kOperation, QStringLiteral("emergency_channel"), QString())
                            .trimmed()
                            .toInt(&ok);
    settings.EmergencyChannel
        = ok && channel >= 1 && channel <= 8 ? channel : defaults.EmergencyChannel;
    settings.EmergencyFile = store.value(kOperation, QStringLiteral("emergency_file"), QString());
    settings.EmergencyLineIn = flag(QStringLiteral("emergency_line_in"), defaults.EmergencyLineIn);
}

void SaveOperationOptions(UserStore &store, const AppSettings &settings)
{
    const UserStore::Batch batch(store);
    store.setValue(kOperation, QStringLiteral("asrun_keep_days"),
                   QString::number(settings.AsRunKeepDays));
    store.setValue(kOperation, QStringLiteral("supervise_terminals"),
                   booleanText(settings.SuperviseTerminals));
    store.setValue(kOperation, QStringLiteral("start_at_login"),
                   booleanText(settings.StartAtLogin));
    store.setValue(kOperation, QStringLiteral("web_control"),
                   booleanText(settings.WebControlEnabled));
    store.setValue(kOperation, QStringLiteral("web_port"),
                   QString::number(settings.WebControlPort));
    store.setValue(kOperation, QStringLiteral("web_password"), settings.WebPasswordHash);
    store.setValue(kOperation, QStringLiteral("web_network"),
                   booleanText(settings.WebNetworkAllowed));
    store.setValue(kOperation, QStringLiteral("seasons"),
                   SeasonTimetables::toStoreText(settings.Seasons));
    store.setValue(kOperation, QStringLiteral("emergency_channel"),
                   QString::number(settings.EmergencyChannel));
    store.setValue(kOperation, QStringLiteral("emergency_file"), settings.EmergencyFile);
    store.setValue(kOperation, QStringLiteral("emergency_line_in"),
                   booleanText(settings.EmergencyLineIn));
}

QString SaveShowVideo(const ProfileIni &configIni, bool showVideo)
{
    const QString text = showVideo ? QStringLiteral("1") : QStringLiteral("0");
    // Each write of config.ini waits for the disk: the value it holds
    // already is not written again.
    if (configIni.getString(kDisplayMode, QStringLiteral("VCD"), QString(), 16) == text)
        return {};
    return configIni.writeString(kDisplayMode, QStringLiteral("VCD"), text);
}

void LoadDisplayOptions(const ProfileIni &configIni, AppSettings &settings)
{
    settings.VolumeAdjustTime
        = configIni
              .getString(kDisplayMode, QStringLiteral("SetVoltime"), QStringLiteral("33:33:33"), 9)
              .left(5);
    settings.TerminalVolume
        = configIni.getString(kDisplayMode, QStringLiteral("TermVol"), QStringLiteral("22"), 9);
    settings.ShowVideo
        = configIni.getString(kDisplayMode, QStringLiteral("VCD"), QStringLiteral("0"), 2)
              .startsWith(u'1');
}

void LoadSourceFrequencies(const AppFolder &folder, AppSettings &settings)
{
    const AmpNamesRead read = readAmpNameFile(folder.file(QStringLiteral("\\amp_name.dat")));
    if (!read.ok && !read.missing)
        qWarning() << "amp_name.dat:" << read.error;
    // Frequencies of a short or broken file count where they were read; the
    // rest are 0.
    for (int n = 1; n <= 8; ++n)
        settings.SourceFrequency[std::size_t(n)]
            = frequencyTenths(read.names.frequencies.value(n - 1));
}

void LoadDeviceLeadTimes(const ProfileIni &configIni, AppSettings &settings)
{
    const QString section = QStringLiteral("外设提前");
    for (int n = 1; n <= 8; ++n) {
        const QString text = configIni.getString(section, QStringLiteral("外设%1").arg(n),
                                                 QStringLiteral("00:00:00"), 9);
        // A value that is no time of day means no lead rather than a broken start-up.
        settings.DeviceLeadTime[std::size_t(n)]
            = TimeText::normalized(text, QStringLiteral("00:00:00"));
    }
}

void LoadNodeAddresses(const AppFolder &folder, AppSettings &settings)
{
    const NodeFileRead read = readNodeFile(folder.file(QStringLiteral("\\node.txt")));
    if (!read.ok && !read.missing)
        qWarning() << "node.txt:" << read.error;
    for (const NodeRecord &node : read.records) {
        // A placeholder or a mistyped address would spoil every zone command
        // that carries the whole list, so only real addresses are kept.
        const int address = nodeAddressValue(node.address);
        if (address < 0) {
            qWarning() << "node.txt: skipped node" << node.name << "with address" << node.address;
            continue;
        }
        settings.AllNodeList += QString::number(address) + u'.';
    }
}

void LoadGroupNames(const ProfileIni &configIni, AppSettings &settings)
{
    const QString section = QStringLiteral("分组名称");
    for (int n = 1; n <= 8; ++n) {
        const QString key = QStringLiteral("分组%1").arg(n);
        settings.GroupNames[std::size_t(n)] = configIni.getString(section, key, key, 50);
    }
}

} // namespace SettingsLoader
