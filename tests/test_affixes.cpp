// SPDX-License-Identifier: GPL-3.0-or-later
#include "AffixExpander.h"
#include "Thesaurus.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>
#include <hunspell.hxx>
#include <map>

// The forms the importer files through prefixes, held against Hunspell itself.
namespace {

const QString kData = QStringLiteral(LEXIGROVE_TEST_DATA);
const QString kHunspell = QStringLiteral("/usr/share/hunspell");

std::vector<ThesaurusEntry> entriesFor(const QStringList& headwords) {
    std::vector<ThesaurusEntry> entries;
    for (const QString& headword : headwords) {
        entries.push_back(
            ThesaurusEntry{headword,
                           {ThesaurusSynonym{QStringLiteral("x"), QStringLiteral("noun"),
                                             QStringLiteral("synonym"), QString(), 1, true}}});
    }
    return entries;
}

std::map<QString, QStringList> basesByForm(const std::vector<InflectedForm>& forms) {
    std::map<QString, QStringList> bases;
    for (const InflectedForm& form : forms)
        bases[form.key] << form.baseKey;
    return bases;
}

QStringList filedUnder(const QString& dic, const QStringList& headwords, const QString& form) {
    const auto found = basesByForm(FindInflectedForms(entriesFor(headwords), FormSources{dic, {}}));
    const auto it = found.find(WordKey(form));
    return it == found.end() ? QStringList() : it->second;
}

// The keys of the roots Hunspell gives the word as written; none when it rejects the word.
// The dictionaries read here are UTF-8.
QStringList hunspellRoots(Hunspell& hunspell, const QString& word) {
    const std::string bytes = word.toStdString();
    QStringList roots;
    if (!hunspell.spell(bytes))
        return roots;
    for (const std::string& stem : hunspell.stem(bytes)) {
        const QString key = WordKey(QString::fromStdString(stem));
        if (key != WordKey(word) && !roots.contains(key))
            roots << key;
    }
    roots.sort();
    return roots;
}

std::unique_ptr<Hunspell> openHunspell(const QString& dic) {
    QString aff = dic;
    aff.replace(QStringLiteral(".dic"), QStringLiteral(".aff"));
    return std::make_unique<Hunspell>(QFile::encodeName(aff).constData(),
                                      QFile::encodeName(dic).constData());
}

} // namespace

class TestAffixes : public QObject {
    Q_OBJECT

  private slots:
    void prefixRules_data();
    void prefixRules();
    void realDictionaries_data();
    void realDictionaries();
    void builtFormsAreHunspells_data();
    void builtFormsAreHunspells();
    void limitGivesUpWholePrefixes();
};

void TestAffixes::prefixRules_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("bases");
    QTest::addColumn<bool>("asHunspell");

    const QStringList none;
    QTest::newRow("prefix") << "rematch" << QStringList{"match"} << true;
    QTest::newRow("prefix and suffix, both cross products")
        << "rematchs" << QStringList{"match"} << true;
    QTest::newRow("suffix without cross product") << "rematchment" << none << true;
    QTest::newRow("prefix without cross product, alone")
        << "exmatch" << QStringList{"match"} << true;
    QTest::newRow("prefix without cross product, with a suffix") << "exmatchs" << none << true;
    QTest::newRow("prefix that needs a suffix, alone") << "verbind" << none << true;
    QTest::newRow("prefix that needs a suffix, with one")
        << "verbinded" << QStringList{"bind"} << true;
    QTest::newRow("prefix and a suffix that needs another") << "rebinding" << none << true;
    QTest::newRow("prefix and the suffix after it") << "rebindingly" << QStringList{"bind"} << true;
    QTest::newRow("circumfix pair") << "gemacht" << QStringList{"mach"} << true;
    QTest::newRow("circumfix suffix alone") << "macht" << none << true;
    // Hunspell 1.7.1 accepts a circumfix prefix alone, against its manual ("may be on a word
    // when this word also has a prefix with CIRCUMFIX flag and vice versa"); later versions
    // refuse it.
    QTest::newRow("circumfix prefix alone") << "gemach" << none << false;
    QTest::newRow("prefix condition") << "impot" << QStringList{"pot"} << true;
    QTest::newRow("prefix condition excludes") << "inpot" << none << true;
    QTest::newRow("other condition of the prefix") << "intent" << QStringList{"tent"} << true;
    QTest::newRow("suffix the prefix allows") << "prequickly" << QStringList{"quick"} << true;
    QTest::newRow("that suffix without the prefix") << "quickly" << none << true;
    QTest::newRow("prefix the suffix allows") << "postformal" << QStringList{"form"} << true;
    QTest::newRow("that prefix without the suffix") << "postform" << none << true;
    QTest::newRow("prefix only in compounds") << "cowork" << none << true;
    QTest::newRow("prefix and two suffixes") << "reworkers" << QStringList{"work"} << true;
    QTest::newRow("prefix stripping a letter") << "öndes" << QStringList{"ende"} << true;
    QTest::newRow("proper name's form, in small letters") << "šachtas" << none << true;
    QTest::newRow("acronym's form, in small letters") << "vips" << none << true;
    QTest::newRow("capitalised headword of a stem in small letters")
        << "Apples" << QStringList{"apple"} << true;
    QTest::newRow("proper name of a capitalised headword")
        << "Romes" << QStringList{"rome"} << true;
}

void TestAffixes::prefixRules() {
    QFETCH(QString, form);
    QFETCH(QStringList, bases);
    QFETCH(bool, asHunspell);
    const QString dic = kData + QStringLiteral("/prefixes.dic");
    const QStringList headwords{"match", "bind",   "mach", "pot",   "tent", "quick", "form",
                                "work",  "šachta", "vip",  "Apple", "Rome", "ende"};
    QCOMPARE(filedUnder(dic, headwords, form), bases);
    if (asHunspell) {
        const auto hunspell = openHunspell(dic);
        QCOMPARE(hunspellRoots(*hunspell, form), bases);
    }
}

void TestAffixes::realDictionaries_data() {
    QTest::addColumn<QString>("dictionary");
    QTest::addColumn<QStringList>("headwords");
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("bases");

    QTest::newRow("en prefix and suffix")
        << "en_US" << QStringList{"match"} << "rematching" << QStringList{"match"};
    QTest::newRow("en prefix and comparative")
        << "en_US" << QStringList{"happy"} << "unhappier" << QStringList{"happy"};
    QTest::newRow("en acronym") << "en_US" << QStringList{"vip"} << "vips" << QStringList();
    QTest::newRow("es prefix and plural")
        << "es_ES" << QStringList{"fiel"} << "infieles" << QStringList{"fiel"};
    QTest::newRow("de two roots, one through a prefix")
        << "de_DE" << QStringList{"binden", "verbinden"} << "verbindende"
        << QStringList{"binden", "verbinden"};
    // The Czech thesaurus keeps letter case ("Pětka", "pětka"); English and German write every
    // headword in small letters.
    QTest::newRow("cs surname, thesaurus keeping case")
        << "cs_CZ" << QStringList{"šachta", "Pětka"} << "šachtův" << QStringList();
    QTest::newRow("en name, thesaurus in small letters")
        << "en_US" << QStringList{"toulouse"} << "Toulouse's" << QStringList{"toulouse"};
    QTest::newRow("de noun, thesaurus in small letters")
        << "de_DE" << QStringList{"haus"} << "Häuser" << QStringList{"haus"};
    QTest::newRow("it elision") << "it_IT" << QStringList{"amico"} << "l'amico"
                                << QStringList{"amico"};
}

void TestAffixes::realDictionaries() {
    QFETCH(QString, dictionary);
    QFETCH(QStringList, headwords);
    QFETCH(QString, form);
    QFETCH(QStringList, bases);
    const QString dic = kHunspell + u'/' + dictionary + QStringLiteral(".dic");
    if (!QFileInfo::exists(dic))
        QSKIP("dictionary not installed (scripts/bootstrap.sh installs it)");
    QStringList filed = filedUnder(dic, headwords, form);
    filed.sort();
    QCOMPARE(filed, bases);
    const auto hunspell = openHunspell(dic);
    QStringList roots;
    for (const QString& root : hunspellRoots(*hunspell, form)) {
        if (bases.contains(root) || headwords.contains(root))
            roots << root;
    }
    QCOMPARE(roots, bases);
}

// A seeded sample of what the affix rules build from a few hundred of a language's stems: every
// form, as built, is a word Hunspell accepts and stems to the stem it was built from.
void TestAffixes::builtFormsAreHunspells_data() {
    QTest::addColumn<QString>("dictionary");
    for (const char* language : {"en_US", "de_DE", "es_ES", "pt_BR", "it_IT", "cs_CZ"})
        QTest::newRow(language) << QString::fromLatin1(language);
}

void TestAffixes::builtFormsAreHunspells() {
    QFETCH(QString, dictionary);
    const QString dic = kHunspell + u'/' + dictionary + QStringLiteral(".dic");
    if (!QFileInfo::exists(dic))
        QSKIP("dictionary not installed (scripts/bootstrap.sh installs it)");
    QFile file(dic);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QRandomGenerator random(25);
    QSet<QString> stems;
    while (stems.size() < 300) {
        const QByteArray line = lines.at(1 + random.bounded(qsizetype(lines.size() - 2)));
        if (line.contains('/'))
            stems.insert(QString::fromUtf8(line.left(line.indexOf('/'))));
    }
    std::vector<std::pair<QString, QString>> built;
    AffixExpander expander(dic);
    expander.expand(
        [&](const QString& stem) { return stems.contains(stem); },
        [&](const QString& form, const QString& stem, int) { built.emplace_back(form, stem); });
    QVERIFY(built.size() > 200);
    const auto hunspell = openHunspell(dic);
    for (int i = 0; i < 200; ++i) {
        const auto& [form, stem] = built[size_t(random.bounded(qsizetype(built.size())))];
        QVERIFY2(hunspellRoots(*hunspell, form).contains(WordKey(stem)),
                 qPrintable(form + QStringLiteral(" of ") + stem));
    }
}

// Italian's elisions would give over 6 million forms: the largest prefix flags are given up
// whole, and the rest is kept.
void TestAffixes::limitGivesUpWholePrefixes() {
    const QString dic = kHunspell + QStringLiteral("/it_IT.dic");
    const QString dat = QStringLiteral("/usr/share/mythes/th_it_IT_v2.dat");
    if (!QFileInfo::exists(dic) || !QFileInfo::exists(dat))
        QSKIP("thesaurus or dictionary not installed (scripts/bootstrap.sh installs them)");
    const auto entries = ReadThesaurus(dat, QStringLiteral("it"));
    const auto forms = basesByForm(FindInflectedForms(entries, FormSources{dic, {}}));
    QVERIFY(forms.size() <= 3'000'000);
    const auto filed = [&](const char* form) {
        const auto it = forms.find(QString::fromUtf8(form));
        return it == forms.end() ? QStringList() : it->second;
    };
    QCOMPARE(filed("amichevoli"), QStringList{"amichevole"}); // a suffix
    QCOMPARE(filed("bell'abbadia"), QStringList{"abbadia"});  // a prefix flag kept
    QCOMPARE(filed("l'amico"), QStringList());                // one given up
    QCOMPARE(filed("dell'amico"), QStringList());             // the same flag
}

QTEST_APPLESS_MAIN(TestAffixes)
#include "test_affixes.moc"
