// SPDX-License-Identifier: GPL-3.0-or-later
#include "CachedDatabase.h"
#include "DatabaseBuild.h"
#include "DatabaseFormat.h"
#include "ThesaurusCatalog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
const QByteArray kThesaurus("UTF-8\nglad|1\n(adj)|happy\n");

// "name=content" writes a file, "name->target" links to one.
void lay(const QString& folder, const QStringList& files) {
    QVERIFY(QDir().mkpath(folder));
    for (const QString& file : files) {
        if (file.contains("->")) {
            QVERIFY(QFile::link(file.section("->", 1),
                                QDir(folder).filePath(file.section("->", 0, 0))));
            continue;
        }
        QFile out(QDir(folder).filePath(file.section('=', 0, 0)));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file.section('=', 1).toUtf8());
    }
}

// The thesaurus with more entries, so that building it takes a while.
QByteArray LargeThesaurus(int entries) {
    QByteArray text = kThesaurus;
    for (int i = 0; i < entries; ++i)
        text += "w" + QByteArray::number(i) + "|1\n(noun)|s" + QByteArray::number(i) + "|t" +
                QByteArray::number(i) + "\n";
    return text;
}

struct FileId {
    ino_t inode = 0;
    qint64 modified = 0;
    bool operator==(const FileId&) const = default;
};
FileId IdOf(const QString& path) {
    struct stat info {};
    if (stat(path.toUtf8().constData(), &info) != 0)
        return {};
    return {info.st_ino, qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// Puts the file's modification time back, as a copy that keeps times does.
void SetModified(const QString& path, const timespec& modified) {
    const timespec times[2] = {modified, modified};
    QCOMPARE(utimensat(AT_FDCWD, path.toUtf8().constData(), times, 0), 0);
}

const QString kProgram = QStringLiteral(LEXIGROVE_BIN_DIR "/lexigrove");

// The environment of a user whose languages, data and cache are all under folder; the
// installed thesauri are found too, as always.
const char* const kPlaces[][2] = {{"HOME", "/home"},
                                  {"XDG_DATA_DIRS", "/share"},
                                  {"XDG_DATA_HOME", "/data"},
                                  {"XDG_CACHE_HOME", "/cache"}};
QProcessEnvironment UserEnvironment(const QString& folder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, under] : kPlaces)
        environment.insert(name, folder + under);
    return environment;
}

// The same places for this process, and the language "eo" they hold.
InstalledThesaurus UseUserPlaces(const QString& folder) {
    for (const auto& [name, under] : kPlaces)
        qputenv(name, (folder + under).toUtf8());
    const QList<InstalledThesaurus> thesauri = FindThesauri(CatalogPlaces::standard());
    const InstalledThesaurus* eo = MatchLanguage(thesauri, "eo");
    return eo ? *eo : InstalledThesaurus();
}

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

void StartProgram(QProcess& process, const QStringList& arguments,
                  const QProcessEnvironment& environment, const QByteArray& input = {}) {
    process.setProcessEnvironment(environment);
    process.start(kProgram, arguments);
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    process.write(input);
    process.closeWriteChannel();
}

Run Finished(QProcess& process) {
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

Run RunProgram(const QStringList& arguments, const QProcessEnvironment& environment,
               const QByteArray& input = {}) {
    QProcess process;
    StartProgram(process, arguments, environment, input);
    return Finished(process);
}

QStringList Listed(const QList<InstalledThesaurus>& thesauri) {
    QStringList listed;
    for (const InstalledThesaurus& t : thesauri)
        listed << t.code + " | " + t.name + " | " + t.locales.join(',');
    return listed;
}
} // namespace

class TestCatalog : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void names_data();
    void names();
    void match_data();
    void match();
    void dictionaryAndImported();
    void rebuiltWhenTheThesaurusChanges();
    void cancelledBuildLeavesNothing();
    void stampThatCannotBeWritten();
    void exactCodeFirst_data();
    void exactCodeFirst();
    void servedOnlyAsBuilt_data();
    void servedOnlyAsBuilt();
    void processesShareOneBuild();
    void waitForAnotherBuildCanBeCancelled();
    void killedBuildsLeaveNothingForLong();
    void homeAndXdgFolders_data();
    void homeAndXdgFolders();
    void finishedBuildsAreReleased();

  private:
    CatalogPlaces places() const {
        return {{dir_->filePath("mythes")},
                {dir_->filePath("hunspell")},
                dir_->filePath("data/lexigrove"),
                dir_->filePath("cache/lexigrove")};
    }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestCatalog::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestCatalog::names_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("one thesaurus of a language: no region")
        << QStringList{"th_fr_FR_v2.dat=a", "th_fr_FR_v2.idx=b", "README.dat=c"}
        << QStringList{"fr | Français | fr_FR"};
    QTest::newRow("several of a language: regions")
        << QStringList{"th_pt_BR.dat=a", "th_pt_PT_v2.dat=b", "th_es_MX_v2.dat=c"}
        << QStringList{"es | Español | es_MX", "pt_BR | Português (Brasil) | pt_BR",
                       "pt_PT | Português (Portugal) | pt_PT"};
    QTest::newRow("links appear once")
        << QStringList{"thes_fr.dat=a", "th_fr_CA_v2.dat->thes_fr.dat",
                       "th_fr_BE_v2.dat->thes_fr.dat"}
        << QStringList{"fr | Français | fr,fr_BE,fr_CA"};
    QTest::newRow("identical copies appear once")
        << QStringList{"th_de_CH_v2.dat=same", "th_de_DE_v2.dat=same", "th_de_LI_v2.dat=other"}
        << QStringList{"de_LI | Deutsch (Liechtenstein) | de_LI",
                       "de_CH | Deutsch (Schweiz) | de_CH,de_DE"};
    QTest::newRow("a language Qt does not know keeps its code")
        << QStringList{"th_qqq_PY_v2.dat=a"} << QStringList{"qqq | qqq | qqq_PY"};
}

void TestCatalog::names() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, listed);
    lay(dir_->filePath("mythes"), files);
    QCOMPARE(Listed(FindThesauri(places())), listed);
}

void TestCatalog::match_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("found");
    QTest::newRow("exact") << "pt_PT"
                           << "pt_PT";
    QTest::newRow("any spelling") << "PT-br"
                                  << "pt_BR";
    QTest::newRow("language: its likely region") << "pt"
                                                 << "pt_BR";
    QTest::newRow("region served by a shared thesaurus") << "de_DE"
                                                         << "de";
    QTest::newRow("region without its own") << "fr_CA"
                                            << "fr";
    QTest::newRow("region of a language with several: the first") << "en_GB"
                                                                  << "en_AU";
    QTest::newRow("Qt's alias") << "no"
                                << "nb";
    QTest::newRow("unknown") << "xx"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCatalog::match() {
    QFETCH(QString, code);
    QFETCH(QString, found);
    lay(dir_->filePath("mythes"),
        {"th_pt_BR.dat=1", "th_pt_PT_v2.dat=2", "th_de_CH_v2.dat=3", "th_de_DE_v2.dat=3",
         "th_fr_FR_v2.dat=4", "th_en_AU_v2.dat=5", "th_en_US_v2.dat=6", "th_nb_NO_v2.dat=7"});
    const QList<InstalledThesaurus> thesauri = FindThesauri(places());
    const InstalledThesaurus* match = MatchLanguage(thesauri, code);
    QCOMPARE(match ? match->code : QString(), found);
}

void TestCatalog::dictionaryAndImported() {
    lay(dir_->filePath("mythes"),
        {"th_sv_SE_v2.dat=a", "th_sv_FI_v2.dat->th_sv_SE_v2.dat", "th_it_IT_v2.dat=b"});
    // Italian's dictionary lacks its .aff, so it is not one.
    lay(dir_->filePath("hunspell"), {"sv_FI.dic=x", "sv_FI.aff=y", "it_IT.dic=z"});
    lay(dir_->filePath("data/lexigrove"), {"fr.mdb=d", "notes.txt=e"});
    lay(dir_->filePath("data/lexigrove/de_CH"), {"words.mdb=f"});
    const QList<InstalledThesaurus> found = FindThesauri(places());
    QCOMPARE(Listed(found), QStringList({"it | Italiano | it_IT", "sv | Svenska | sv_FI,sv_SE",
                                         "fr | Français (fr.mdb) | fr",
                                         "de_CH | Deutsch (Schweiz) (de_CH/words.mdb) | de_CH"}));
    QCOMPARE(found[0].dictionary, QString());
    QCOMPARE(found[1].dictionary, dir_->filePath("hunspell/sv_FI.dic"));
    QCOMPARE(found[1].database, dir_->filePath("cache/lexigrove/sv.mdb"));
    QVERIFY(found[2].imported());
    QVERIFY(DatabaseReady(found[2]));
    QCOMPARE(found[3].key(), dir_->filePath("data/lexigrove/de_CH/words.mdb"));
}

void TestCatalog::rebuiltWhenTheThesaurusChanges() {
    lay(dir_->filePath("mythes"), {"th_is_IS_v2.dat=" + QString::fromUtf8(kThesaurus)});
    const InstalledThesaurus thesaurus = FindThesauri(places()).value(0);
    QVERIFY(!DatabaseReady(thesaurus));
    QList<int> seen;
    // The cache folder does not exist yet: the build makes it.
    QCOMPARE(PreparedDatabase(thesaurus,
                              [&](int percent) {
                                  seen << percent;
                                  return true;
                              }),
             dir_->filePath("cache/lexigrove/is.mdb"));
    QVERIFY(DatabaseReady(thesaurus));
    QCOMPARE(seen.first(), 0);
    QCOMPARE(seen.last(), 100);
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));

    // A package upgrade changes the file.
    lay(dir_->filePath("mythes"),
        {"th_is_IS_v2.dat=" + QString::fromUtf8(kThesaurus) + "sad|1\n-|unhappy\n"});
    QVERIFY(!DatabaseReady(thesaurus));
    PreparedDatabase(thesaurus);
    QVERIFY(DatabaseReady(thesaurus));
}

void TestCatalog::cancelledBuildLeavesNothing() {
    lay(dir_->filePath("mythes"), {"th_is_IS_v2.dat=" + QString::fromUtf8(kThesaurus)});
    const InstalledThesaurus thesaurus = FindThesauri(places()).value(0);
    // Every stage of the import is the importer's own test; here the stamp is what matters.
    QVERIFY_THROWS_EXCEPTION(ImportCancelled,
                             BuildDatabase(thesaurus, [&](int percent) { return percent < 40; }));
    QVERIFY(!DatabaseReady(thesaurus));
    QCOMPARE(QDir(dir_->filePath("cache/lexigrove")).entryList(QDir::Files), QStringList());
}

// The stamp is published as the database is: when it cannot be, the build is
// told failed and the database is not taken for a finished one.
void TestCatalog::stampThatCannotBeWritten() {
    lay(dir_->filePath("mythes"), {"th_is_IS_v2.dat=" + QString::fromUtf8(kThesaurus)});
    const InstalledThesaurus thesaurus = FindThesauri(places()).value(0);
    const QString stamp = thesaurus.database + ".source";
    QVERIFY(QDir().mkpath(stamp)); // a folder where the stamp goes
    try {
        BuildDatabase(thesaurus);
        QFAIL("built");
    } catch (const ThesaurusError& error) {
        QCOMPARE(error.sourceName(), stamp);
        QVERIFY2(error.problem().startsWith("Cannot create " + stamp + ": "), error.what());
    }
    QVERIFY(QFileInfo(thesaurus.database).isFile());
    QVERIFY(!DatabaseReady(thesaurus));
    QCOMPARE(QDir(dir_->filePath("cache/lexigrove")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"is.mdb"});
}

void TestCatalog::exactCodeFirst_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("found");
    QTest::newRow("a region with a thesaurus of its own") << "fr_BE"
                                                          << "fr_BE";
    QTest::newRow("the same region spelt with a dash") << "fr-BE"
                                                       << "fr_BE";
    QTest::newRow("the same region in any case") << "FR_be"
                                                 << "fr_BE";
    QTest::newRow("the language alone") << "fr"
                                        << "fr";
    QTest::newRow("a region only the shared one serves") << "fr_CA"
                                                         << "fr";
    QTest::newRow("another region with one of its own") << "fr_fr"
                                                        << "fr_FR";
}

void TestCatalog::exactCodeFirst() {
    QFETCH(QString, code);
    QFETCH(QString, found);
    // Debian's French thesaurus serves every region by links; the user added two of their own.
    lay(dir_->filePath("mythes"), {"thes_fr.dat=shared", "th_fr_BE_v2.dat->thes_fr.dat",
                                   "th_fr_CA_v2.dat->thes_fr.dat", "th_fr_FR_v2.dat->thes_fr.dat"});
    lay(dir_->filePath("mythes/own"), {"th_fr_BE.dat=belgian", "th_fr_FR.dat=french"});
    CatalogPlaces places = this->places();
    places.thesaurusFolders << dir_->filePath("mythes/own");
    const QList<InstalledThesaurus> thesauri = FindThesauri(places);
    const InstalledThesaurus* match = MatchLanguage(thesauri, code);
    QCOMPARE(match ? match->code : QString(), found);
}

void TestCatalog::servedOnlyAsBuilt_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("served");
    QTest::newRow("another language's database copied over it") << "foreign" << false;
    QTest::newRow("emptied") << "emptied" << false;
    QTest::newRow("truncated") << "truncated" << false;
    QTest::newRow("built by another importer format") << "format" << false;
    QTest::newRow("damaged, size and time kept") << "damaged" << false;
    QTest::newRow("restored copy, size and time kept") << "restored" << true;
}

// What --languages says and --language serves after the cached database changed under it.
void TestCatalog::servedOnlyAsBuilt() {
    QFETCH(QString, change);
    QFETCH(bool, served);
    lay(dir_->filePath("share/mythes"), {"th_eo.dat=" + QString::fromUtf8(kThesaurus)});
    const InstalledThesaurus eo = UseUserPlaces(dir_->path());
    QCOMPARE(eo.code, "eo");
    PreparedDatabase(eo);
    QVERIFY(DatabaseReady(eo));

    QFile database(eo.database);
    struct stat before {};
    QCOMPARE(stat(eo.database.toUtf8().constData(), &before), 0);
    if (change == "foreign") {
        const QString foreign = dir_->filePath("foreign.mdb");
        lay(dir_->filePath("other"), {"th_it_IT.dat=UTF-8\nglad|1\n(adj)|cheerful\n"});
        ImportThesaurus(dir_->filePath("other/th_it_IT.dat"), foreign);
        QFile from(foreign);
        QVERIFY(from.open(QIODevice::ReadOnly));
        QVERIFY(database.open(QIODevice::WriteOnly | QIODevice::Truncate)); // as cp writes
        database.write(from.readAll());
        database.close();
    } else if (change == "emptied" || change == "truncated") {
        QVERIFY(database.resize(change == "emptied" ? 0 : database.size() / 2));
    } else if (change == "format") {
        QFile stamp(eo.database + ".source");
        QVERIFY(stamp.open(QIODevice::ReadOnly));
        QByteArray text = stamp.readAll();
        stamp.close();
        const QByteArray schema = "schema " + QByteArray::number(kSchemaVersion);
        QVERIFY(text.contains(schema));
        text.replace(schema, "schema " + QByteArray::number(kSchemaVersion - 1));
        QVERIFY(stamp.open(QIODevice::WriteOnly | QIODevice::Truncate));
        stamp.write(text);
    } else if (change == "damaged") {
        // The second page onwards: the tables themselves.
        QVERIFY(database.open(QIODevice::ReadWrite));
        database.seek(4096);
        database.write(QByteArray(8192, '\x5a'));
        database.close();
        SetModified(eo.database, before.st_mtim);
    } else if (change == "restored") {
        const QString copy = eo.database + ".copy";
        QVERIFY(QFile::copy(eo.database, copy));
        QVERIFY(QFile::remove(eo.database));
        QVERIFY(QFile::rename(copy, eo.database));
        SetModified(eo.database, before.st_mtim);
    }
    const QProcessEnvironment user = UserEnvironment(dir_->path());
    const Run languages = RunProgram({"--languages"}, user);
    QCOMPARE(languages.status, 0);
    const QByteArray line = "eo\tEsperanto\t" + QByteArray(served ? "built" : "not built") + "\t" +
                            eo.thesaurusFile.toUtf8() + "\n";
    QVERIFY2(languages.out.contains(line), languages.out.constData());

    // Served as it is, or built again first.
    QList<int> seen;
    QCOMPARE(PreparedDatabase(eo,
                              [&](int percent) {
                                  seen << percent;
                                  return true;
                              }),
             eo.database);
    QCOMPARE(seen.isEmpty(), served);
    QVERIFY(DatabaseReady(eo));
    const Run lookup = RunProgram({"--language", "eo", "--lookup", "-"}, user, "glad\n");
    QCOMPARE(lookup.out, "GLAD - happy\n");
    QCOMPARE(lookup.status, 0);
}

// A build under way in one process (here a thread of the test) is waited for by every other
// program that needs the database, which then serves the one built.
void TestCatalog::processesShareOneBuild() {
    lay(dir_->filePath("share/mythes"), {"th_eo.dat=" + QString::fromUtf8(kThesaurus)});
    const InstalledThesaurus eo = UseUserPlaces(dir_->path());
    QSemaphore go;
    std::atomic<bool> building = false;
    std::thread first([&] {
        PreparedDatabase(eo, [&](int) {
            if (!building.exchange(true))
                go.acquire();
            return true;
        });
    });
    QTRY_VERIFY(building);
    const QProcessEnvironment user = UserEnvironment(dir_->path());
    QProcess second, third;
    StartProgram(second, {"--language", "eo", "--lookup", "-"}, user, "glad\n");
    StartProgram(third, {"--language", "eo", "--lookup", "-"}, user, "glad\n");
    QTest::qWait(1500);
    QCOMPARE(second.state(), QProcess::Running);
    QCOMPARE(third.state(), QProcess::Running);
    QVERIFY(!QFile::exists(eo.database));
    go.release();
    first.join();
    const FileId built = IdOf(eo.database);
    for (QProcess* waiting : {&second, &third}) {
        const Run run = Finished(*waiting);
        QCOMPARE(run.out, "GLAD - happy\n");
        QCOMPARE(run.status, 0);
    }
    // Neither built it again.
    QCOMPARE(IdOf(eo.database), built);
}

// Waiting for another build asks whether the wait is still wanted: a window closed
// meanwhile stops waiting at once.
void TestCatalog::waitForAnotherBuildCanBeCancelled() {
    lay(dir_->filePath("mythes"), {"th_is_IS_v2.dat=" + QString::fromUtf8(kThesaurus)});
    const InstalledThesaurus thesaurus = FindThesauri(places()).value(0);
    QVERIFY(QDir().mkpath(dir_->filePath("cache/lexigrove")));
    const int held = open((thesaurus.database + ".lock").toUtf8().constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    QVERIFY(held >= 0);
    QCOMPARE(flock(held, LOCK_EX), 0);
    QList<int> asked;
    QElapsedTimer waited;
    waited.start();
    QVERIFY_THROWS_EXCEPTION(ImportCancelled, PreparedDatabase(thesaurus, [&](int percent) {
                                 asked << percent;
                                 return asked.size() < 3;
                             }));
    QVERIFY(waited.elapsed() < 1000);
    // Asked while waiting, before any of the build.
    QCOMPARE(asked, QList<int>({0, 0, 0}));
    QVERIFY(!QFile::exists(thesaurus.database));
    close(held);
}

// A build killed halfway leaves its unfinished database behind; the next build removes it,
// and only it: a temporary another program is still writing stays.
void TestCatalog::killedBuildsLeaveNothingForLong() {
    lay(dir_->filePath("share/mythes"), {"th_eo.dat=" + QString::fromUtf8(LargeThesaurus(60000))});
    const InstalledThesaurus eo = UseUserPlaces(dir_->path());
    const QProcessEnvironment user = UserEnvironment(dir_->path());
    const QDir cache(dir_->filePath("cache/lexigrove"));
    QProcess killed;
    StartProgram(killed, {"--language", "eo", "--lookup", "-"}, user);
    QStringList left;
    while (left.isEmpty() && killed.state() == QProcess::Running) {
        left = cache.entryList({".lexigrove-*"}, QDir::Files | QDir::Hidden);
        QTest::qSleep(2);
    }
    QVERIFY2(!left.isEmpty(), "the build ended before it could be killed");
    kill(pid_t(killed.processId()), SIGKILL);
    killed.waitForFinished();
    QCOMPARE(cache.entryList({".lexigrove-*"}, QDir::Files | QDir::Hidden), left);

    const QString live = cache.filePath(".lexigrove-live");
    const int liveFd = open(live.toUtf8().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(liveFd >= 0);
    QCOMPARE(flock(liveFd, LOCK_EX), 0);
    const Run run = RunProgram({"--language", "eo", "--lookup", "-"}, user, "glad\n");
    QCOMPARE(run.out, "GLAD - happy\n");
    QCOMPARE(cache.entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({".lexigrove-live", "eo.mdb", "eo.mdb.source"}));
    close(liveFd);
}

void TestCatalog::homeAndXdgFolders_data() {
    QTest::addColumn<bool>("asNobody");
    QTest::addColumn<QString>("cacheHome");
    QTest::newRow("relative XDG_CACHE_HOME ignored") << false << "relative/cache";
    QTest::newRow("HOME unset: the password database's home") << true << "";
}

void TestCatalog::homeAndXdgFolders() {
    QFETCH(bool, asNobody);
    QFETCH(QString, cacheHome);
    lay(dir_->filePath("share/mythes"), {"th_eo.dat=" + QString::fromUtf8(kThesaurus)});
    QProcessEnvironment user = UserEnvironment(dir_->path());
    user.insert("XDG_CACHE_HOME", cacheHome);
    QProcess process;
    process.setWorkingDirectory(dir_->path());
    if (!asNobody) {
        StartProgram(process, {"--language", "eo", "--lookup", "-"}, user, "glad\n");
        const Run run = Finished(process);
        QCOMPARE(run.out, "GLAD - happy\n");
        QVERIFY(QFile::exists(dir_->filePath("home/.cache/lexigrove/eo.mdb")));
        QVERIFY(!QFile::exists(dir_->filePath(cacheHome)));
        return;
    }
    if (getuid() != 0)
        QSKIP("needs root to run as nobody");
    const passwd* nobody = getpwnam("nobody");
    QVERIFY(nobody);
    const QString home = QString::fromLocal8Bit(nobody->pw_dir);
    QVERIFY2(!QFileInfo::exists(home), "nobody's home exists here");
    QVERIFY(QFile::setPermissions(dir_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                    QFileDevice::ExeOther));
    user.remove("HOME");
    user.remove("XDG_CACHE_HOME");
    process.setProcessEnvironment(user);
    process.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", kProgram,
                              "--language", "eo", "--lookup", "-"});
    process.closeWriteChannel();
    const Run run = Finished(process);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("cannot create the folder " + home.toLocal8Bit() + ": "),
             run.err.constData());
}

void TestCatalog::finishedBuildsAreReleased() {
    lay(dir_->filePath("mythes"), {"th_is_IS_v2.dat=" + QString::fromUtf8(kThesaurus)});
    const InstalledThesaurus thesaurus = FindThesauri(places()).value(0);
    DatabaseBuild build;
    QSignalSpy finished(&build, &DatabaseBuild::finished);
    for (int time = 1; time <= 3; ++time) {
        build.start(thesaurus);
        QTRY_COMPARE(finished.count(), time);
        QCOMPARE(finished.last().value(0).toString(), QString());
    }
    QTRY_COMPARE(build.findChildren<QThread*>().size(), 0);
}

QTEST_GUILESS_MAIN(TestCatalog)
#include "test_catalog.moc"
