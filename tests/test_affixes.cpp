// SPDX-License-Identifier: GPL-3.0-or-later
#include "AffixExpander.h"
#include "FormFixtures.h"
#include "Thesaurus.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <hunspell.hxx>

// The forms the importer files through prefixes, held against Hunspell itself.
namespace {

const QString kData = QStringLiteral(LEXIGROVE_TEST_DATA);
const QString kHunspell = QStringLiteral("/usr/share/hunspell");

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
    void formsAsHunspell_data();
    void formsAsHunspell();
    void builtFormsAreHunspells_data();
    void builtFormsAreHunspells();
    void limitKeepsProlificPrefixesAsMarks();
    void costlyInputsEndSoon_data();
    void costlyInputsEndSoon();
};

// Each form is filed under the headwords Hunspell stems it to: rows on prefixes.dic, then on
// installed dictionaries, where only the roots among the row's headwords count.
void TestAffixes::formsAsHunspell_data() {
    QTest::addColumn<QString>("dic");
    QTest::addColumn<QStringList>("headwords");
    QTest::addColumn<QString>("form");
    QTest::addColumn<QStringList>("bases");
    QTest::addColumn<bool>("asHunspell");

    const QStringList none;
    const QStringList stems{"match", "bind",   "mach", "pot",   "tent", "quick", "form",
                            "work",  "šachta", "vip",  "Apple", "Rome", "ende"};
    const auto row = [&](const char* name, const char* form, const QStringList& bases,
                         bool asHunspell = true) {
        QTest::newRow(name) << QString(kData + QStringLiteral("/prefixes.dic")) << stems
                            << QString::fromUtf8(form) << bases << asHunspell;
    };
    row("prefix", "rematch", {"match"});
    row("prefix and suffix, both cross products", "rematchs", {"match"});
    row("suffix without cross product", "rematchment", none);
    row("prefix without cross product, alone", "exmatch", {"match"});
    row("prefix without cross product, with a suffix", "exmatchs", none);
    row("prefix that needs a suffix, alone", "verbind", none);
    row("prefix that needs a suffix, with one", "verbinded", {"bind"});
    row("prefix and a suffix that needs another", "rebinding", none);
    row("prefix and the suffix after it", "rebindingly", {"bind"});
    row("circumfix pair", "gemacht", {"mach"});
    row("circumfix suffix alone", "macht", none);
    // Hunspell 1.7.1 accepts a circumfix prefix alone, against its manual ("may be on a word
    // when this word also has a prefix with CIRCUMFIX flag and vice versa"); later versions
    // refuse it.
    row("circumfix prefix alone", "gemach", none, false);
    row("prefix condition", "impot", {"pot"});
    row("prefix condition excludes", "inpot", none);
    row("other condition of the prefix", "intent", {"tent"});
    row("suffix the prefix allows", "prequickly", {"quick"});
    row("that suffix without the prefix", "quickly", none);
    row("prefix the suffix allows", "postformal", {"form"});
    row("that prefix without the suffix", "postform", none);
    row("prefix only in compounds", "cowork", none);
    row("prefix and two suffixes", "reworkers", {"work"});
    row("prefix stripping a letter", "öndes", {"ende"});
    row("proper name's form, in small letters", "šachtas", none);
    row("acronym's form, in small letters", "vips", none);
    row("capitalised headword of a stem in small letters", "Apples", {"apple"});
    row("proper name of a capitalised headword", "Romes", {"rome"});

    const auto real = [](const char* name, const char* dictionary, const QStringList& headwords,
                         const char* form, const QStringList& bases) {
        QTest::newRow(name) << QString(kHunspell + u'/' + QLatin1String(dictionary) + ".dic")
                            << headwords << QString::fromUtf8(form) << bases << true;
    };
    real("en prefix and suffix", "en_US", {"match"}, "rematching", {"match"});
    real("es prefix and plural", "es_ES", {"fiel"}, "infieles", {"fiel"});
    real("de two roots, one through a prefix", "de_DE", {"binden", "verbinden"}, "verbindende",
         {"binden", "verbinden"});
    // The Czech thesaurus keeps letter case ("Pětka", "pětka"); English and German write every
    // headword in small letters.
    real("cs surname, thesaurus keeping case", "cs_CZ", {"šachta", "Pětka"}, "šachtův", none);
    real("en name, thesaurus in small letters", "en_US", {"toulouse"}, "Toulouse's", {"toulouse"});
    real("it elision", "it_IT", {"amico"}, "l'amico", {"amico"});
}

void TestAffixes::formsAsHunspell() {
    QFETCH(QString, dic);
    QFETCH(QStringList, headwords);
    QFETCH(QString, form);
    QFETCH(QStringList, bases);
    QFETCH(bool, asHunspell);
    if (!QFileInfo::exists(dic))
        QSKIP("dictionary not installed (scripts/bootstrap.sh test installs it)");
    QStringList filed = filedUnder(dic, headwords, form);
    filed.sort();
    QCOMPARE(filed, bases);
    QStringList roots = asHunspell ? hunspellRoots(*openHunspell(dic), form) : bases;
    roots.removeIf(
        [&](const QString& root) { return !bases.contains(root) && !headwords.contains(root); });
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
        QSKIP("dictionary not installed (scripts/bootstrap.sh test installs it)");
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
        [&](const QString& form, const QString& stem, int, int) {
            built.emplace_back(form, stem);
        });
    QVERIFY(built.size() > 200);
    const auto hunspell = openHunspell(dic);
    for (int i = 0; i < 200; ++i) {
        const auto& [form, stem] = built[size_t(random.bounded(qsizetype(built.size())))];
        QVERIFY2(hunspellRoots(*hunspell, form).contains(WordKey(stem)),
                 qPrintable(form + QStringLiteral(" of ") + stem));
    }
}

// Italian's elisions would give over 6 million forms: the prefix flags that give the most are
// kept as marks on the words they stand before, and the rest is filed form by form.
void TestAffixes::limitKeepsProlificPrefixesAsMarks() {
    const QString dic = kHunspell + QStringLiteral("/it_IT.dic");
    const QString dat = QStringLiteral("/usr/share/mythes/th_it_IT_v2.dat");
    if (!QFileInfo::exists(dic) || !QFileInfo::exists(dat))
        QSKIP("thesaurus or dictionary not installed (scripts/bootstrap.sh test installs them)");
    const auto entries = ReadThesaurus(dat, QStringLiteral("it"));
    const InflectedForms found = FindInflectedForms(entries, FormSources{dic, {}});
    QVERIFY(found.forms.size() <= kMaxForms);
    const auto forms = basesByForm(found);
    const auto filed = [&](const char* form) {
        const auto it = forms.find(QString::fromUtf8(form));
        return it == forms.end() ? QStringList() : it->second;
    };
    QCOMPARE(filed("amichevoli"), QStringList{"amichevole"}); // a suffix
    QCOMPARE(filed("bell'abbadia"), QStringList{"abbadia"});  // a prefix flag filed form by form
    QCOMPARE(filed("l'amico"), QStringList());                // one kept as marks
    const auto marks = [&](const char* key) {
        for (const InflectedForm& form : found.forms)
            if (form.key == QString::fromUtf8(key) && form.baseKey == form.key)
                return form.prefixes;
        return quint64(0);
    };
    const auto bits = [&](const char* lead) {
        for (const FormLead& known : found.leads)
            if (known.text == QString::fromUtf8(lead))
                return known.bits;
        return quint64(0);
    };
    QVERIFY(bits("l'") != 0 && bits("dell'") != 0);
    QVERIFY(marks("amico") & bits("l'"));
    QVERIFY(marks("amico") & bits("dell'"));
}

// Inputs made to run an import without end end in seconds, refused or built within bounds: a
// headword repeated, alone or in turns; a thousand prefixes on suffixes on a thousand more.
void TestAffixes::costlyInputsEndSoon_data() {
    QTest::addColumn<QByteArray>("dat");
    QTest::addColumn<QByteArray>("aff");
    QTest::addColumn<QString>("outcome"); // the error, or what was left out
    QTest::addColumn<qint64>("terms");
    QByteArray repeated = "UTF-8\n", alternating = "UTF-8\n";
    for (int i = 0; i < 50'000; ++i) {
        repeated += "w|1\n(noun)|t" + QByteArray::number(i) + '\n';
        alternating += (i % 2 ? "v|1\n(noun)|t" : "w|1\n(noun)|t") + QByteArray::number(i) + '\n';
    }
    QTest::newRow("headword repeated") << repeated << QByteArray() << QString() << 50'000LL;
    QTest::newRow("headwords in turns") << alternating << QByteArray() << QString() << 50'000LL;
    const QByteArray aff = CostlyAffixes(1000);
    const QString leftOut = QStringLiteral("the forms of %1 are left out: they take more work "
                                           "than the importer gives them");
    QTest::newRow("affixes on one another")
        << kStems << aff << leftOut.arg(u"second suffixes") + u'\n' + leftOut.arg(u"prefix flag P")
        << 3LL;
    QTest::newRow("NUL in an affix")
        << kStems << QByteArrayLiteral("SET UTF-8\nSFX A Y 1\nSFX A 0 s\0x .\n")
        << QStringLiteral("xx.aff:3: NUL byte in line") << 3LL;
}

void TestAffixes::costlyInputsEndSoon() {
    QFETCH(QByteArray, dat);
    QFETCH(QByteArray, aff);
    QFETCH(QString, outcome);
    QTemporaryDir dir;
    QVERIFY(WriteStems(dir.path(), dat, aff));
    const auto entries = ReadThesaurus(dir.filePath(QStringLiteral("th_xx.dat")));
    qint64 terms = 0;
    for (const ThesaurusEntry& entry : entries)
        terms += qint64(entry.synonyms.size());
    QTEST(terms, "terms");
    try {
        const InflectedForms found = FindInflectedForms(
            entries,
            FormSources{aff.isEmpty() ? QString() : dir.filePath(QStringLiteral("xx.dic")), {}}, {},
            10'000);
        QCOMPARE(found.notes.join(u'\n'), outcome);
        QVERIFY(aff.isEmpty() || basesByForm(found)[QStringLiteral("wa999")] == QStringList{"w"});
    } catch (const ThesaurusError& error) {
        QVERIFY2(QString::fromUtf8(error.what()).endsWith(outcome), error.what());
    }
}

QTEST_APPLESS_MAIN(TestAffixes)
#include "test_affixes.moc"
