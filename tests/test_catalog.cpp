#include "CachedDatabase.h"
#include "ThesaurusCatalog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

QTEST_GUILESS_MAIN(TestCatalog)
#include "test_catalog.moc"
