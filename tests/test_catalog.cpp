// SPDX-License-Identifier: GPL-3.0-or-later
#include "CachedDatabase.h"
#include "DatabaseBuild.h"
#include "ThesaurusCatalog.h"

#include <QDir>
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

// The file's inode and modification time: both stay until it is written or replaced.
std::pair<ino_t, qint64> IdOf(const QString& path) {
    struct stat info {};
    stat(path.toUtf8().constData(), &info);
    return {info.st_ino, info.st_mtim.tv_sec * 1'000'000'000LL + info.st_mtim.tv_nsec};
}

const QString kProgram = QStringLiteral(LEXIGROVE_BIN_DIR "/lexigrove");
const QStringList kLookup{kProgram, "--language", "eo", "--lookup", "-"};

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

// Starts the command, by default looking up "glad" in Esperanto.
void StartProgram(QProcess& process, const QProcessEnvironment& environment,
                  const QStringList& command = kLookup) {
    process.setProcessEnvironment(environment);
    process.start(command.first(), command.mid(1));
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    process.write("glad\n");
    process.closeWriteChannel();
}

// Whether the process holds the file open.
bool HasOpen(const QProcess& process, const QString& path) {
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(process.processId()));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System))
        if (fd.symLinkTarget() == path)
            return true;
    return false;
}

QByteArray Output(QProcess& process) {
    process.waitForFinished(120000);
    return process.readAllStandardOutput();
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
    void killedBuildsLeaveNothingForLong();
    void unsetHomeIsThePasswordDatabases();
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
    QTest::newRow("a language Qt does not know: its code and file")
        << QStringList{"th_qqq_PY_v2.dat=a"}
        << QStringList{"qqq | qqq (th_qqq_PY_v2.dat) | qqq_PY"};
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
    QVERIFY_THROWS_EXCEPTION(
        ImportCancelled, PreparedDatabase(thesaurus, [&](int percent) { return percent < 40; }));
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
        PreparedDatabase(thesaurus);
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
    QTest::newRow("a region with a thesaurus of its own, any spelling") << "FR-be"
                                                                        << "fr_BE";
    QTest::newRow("the language alone") << "fr"
                                        << "fr";
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
    QTest::newRow("truncated") << "truncated" << false;
    QTest::newRow("built by another importer format") << "format" << false;
    QTest::newRow("damaged, size and time kept") << "damaged" << false;
    QTest::newRow("restored copy, size and time kept") << "restored" << true;
}

// A cached database that changed under the program is taken for built (--languages) and
// served as it is, or built again first.
void TestCatalog::servedOnlyAsBuilt() {
    QFETCH(QString, change);
    QFETCH(bool, served);
    lay(dir_->filePath("share/mythes"), {"th_eo.dat=" + QString::fromUtf8(kThesaurus)});
    const InstalledThesaurus eo = UseUserPlaces(dir_->path());
    PreparedDatabase(eo);
    struct stat built {};
    QCOMPARE(stat(eo.database.toUtf8().constData(), &built), 0);
    QFile file(change == "format" ? eo.database + ".source" : eo.database);
    if (change == "truncated") {
        QVERIFY(file.resize(built.st_size / 2));
    } else if (change == "format") { // a schema version of its own: "schema 0…"
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qsizetype at = file.readAll().indexOf("\tschema ") + 8;
        QVERIFY(at > 8 && file.seek(at) && file.write("0") == 1);
    } else {
        if (change == "damaged") { // the tables, past the first page
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(4096));
            file.write(QByteArray(8192, '\x5a'));
            file.close();
        } else {
            QVERIFY(QFile::copy(eo.database, eo.database + "~") && QFile::remove(eo.database) &&
                    QFile::rename(eo.database + "~", eo.database));
        }
        const timespec times[2] = {built.st_mtim, built.st_mtim}; // as a copy keeping times
        QCOMPARE(utimensat(AT_FDCWD, eo.database.toUtf8().constData(), times, 0), 0);
    }
    file.close();
    const auto changed = IdOf(eo.database);
    QCOMPARE(DatabaseReady(eo), served);
    QProcess lookup;
    StartProgram(lookup, UserEnvironment(dir_->path()));
    QCOMPARE(Output(lookup), "GLAD - happy\n");
    QCOMPARE(IdOf(eo.database) == changed, served);
}

// A build under way in one process (here a thread of the test) is waited for by every other
// program that needs the database, which then serves the one built. Waiting asks whether it
// is still wanted: a window closed meanwhile stops waiting at once.
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
    QList<int> asked;
    QVERIFY_THROWS_EXCEPTION(ImportCancelled, PreparedDatabase(eo, [&](int percent) {
                                 asked << percent;
                                 return asked.size() < 3;
                             }));
    QProcess second;
    StartProgram(second, UserEnvironment(dir_->path()));
    // Holding the build's lock file, it can only wait for the lock.
    QTRY_VERIFY_WITH_TIMEOUT(HasOpen(second, eo.database + ".lock"), 60000);
    const bool waited = second.state() == QProcess::Running;
    go.release();
    first.join();
    QVERIFY(waited);
    QCOMPARE(asked, QList<int>({0, 0, 0})); // while waiting, before any of the build
    const auto built = IdOf(eo.database);
    QCOMPARE(Output(second), "GLAD - happy\n");
    QCOMPARE(IdOf(eo.database), built); // not built again
}

// A build killed halfway leaves its unfinished database behind; the next build removes it,
// and only it: a temporary another program is still writing stays.
void TestCatalog::killedBuildsLeaveNothingForLong() {
    QByteArray large = kThesaurus; // long enough to take a while to build
    for (int i = 0; i < 60000; ++i)
        large += QString("w%1|1\n(noun)|s%1|t%1\n").arg(i).toUtf8();
    lay(dir_->filePath("share/mythes"), {"th_eo.dat=" + QString::fromUtf8(large)});
    const QProcessEnvironment user = UserEnvironment(dir_->path());
    const QDir cache(dir_->filePath("cache/lexigrove"));
    QProcess killed;
    StartProgram(killed, user);
    QStringList left;
    while (left.isEmpty() && killed.state() == QProcess::Running) {
        left = cache.entryList({".lexigrove-*"}, QDir::Files | QDir::Hidden);
        QTest::qSleep(2);
    }
    QVERIFY2(!left.isEmpty(), "the build ended before it could be killed");
    kill(pid_t(killed.processId()), SIGKILL);
    killed.waitForFinished();
    QCOMPARE(cache.entryList({".lexigrove-*"}, QDir::Files | QDir::Hidden), left);

    const int live = open(cache.filePath(".lexigrove-live").toUtf8().constData(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(live >= 0 && flock(live, LOCK_EX) == 0);
    QProcess next;
    StartProgram(next, user);
    QCOMPARE(Output(next), "GLAD - happy\n");
    QCOMPARE(cache.entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({".lexigrove-live", "eo.mdb", "eo.mdb.source"}));
    close(live);
}

// Without HOME the cache goes under the password database's home, which for nobody is
// missing: the program says which folder it could not make.
void TestCatalog::unsetHomeIsThePasswordDatabases() {
    if (getuid() != 0)
        QSKIP("needs root to run as nobody");
    lay(dir_->filePath("share/mythes"), {"th_eo.dat=" + QString::fromUtf8(kThesaurus)});
    const passwd* nobody = getpwnam("nobody");
    QVERIFY(nobody && !QFileInfo::exists(nobody->pw_dir));
    QCOMPARE(chmod(dir_->path().toUtf8().constData(), 0755), 0); // for nobody to read
    QProcessEnvironment user = UserEnvironment(dir_->path());
    user.remove("HOME");
    user.remove("XDG_CACHE_HOME");
    QProcess process;
    StartProgram(process, user,
                 QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"} +
                     kLookup);
    QCOMPARE(Output(process), QByteArray());
    QCOMPARE(process.exitCode(), 1);
    const QByteArray error = process.readAllStandardError();
    QVERIFY2(error.contains("cannot create the folder " + QByteArray(nobody->pw_dir) + ": "),
             error.constData());
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
