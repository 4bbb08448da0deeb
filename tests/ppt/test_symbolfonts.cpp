// Symbol and dingbat fonts to Unicode: the one mapping the readers and the
// metafile player share.

#include <QTest>

#include "common/symbolfonts.h"

using morvane::SymbolFont;

class SymbolFontsTest : public QObject {
  Q_OBJECT

 private slots:
  void fontsByName() {
    QCOMPARE(morvane::symbolFontOf(QStringLiteral("symbol")), SymbolFont::Symbol);
    QCOMPARE(morvane::symbolFontOf(QStringLiteral("Wingdings 2")), SymbolFont::Wingdings2);
    QCOMPARE(morvane::symbolFontOf(QStringLiteral(" WINGDINGS 3 ")), SymbolFont::Wingdings3);
    QCOMPARE(morvane::symbolFontOf(QStringLiteral("Webdings")), SymbolFont::Webdings);
    QCOMPARE(morvane::symbolFontOf(QStringLiteral("Arial")), SymbolFont::None);
    QCOMPARE(morvane::symbolFontOf(QStringLiteral("Monotype Sorts"), true),
             SymbolFont::OtherSymbolFont);
    QVERIFY(morvane::isSymbolFont(QStringLiteral("Symbol")));
    QVERIFY(!morvane::isSymbolFont(QStringLiteral("Wingdings")));
  }

  void codes_data() {
    QTest::addColumn<SymbolFont>("font");
    QTest::addColumn<int>("stored");
    QTest::addColumn<uint>("shown");
    // Greek letters, operators and arrows of Symbol, by code and by alias.
    QTest::newRow("Symbol alpha") << SymbolFont::Symbol << 0x61 << 0x03B1u;
    QTest::newRow("Symbol Delta alias") << SymbolFont::Symbol << 0xF044 << 0x0394u;
    QTest::newRow("Symbol root") << SymbolFont::Symbol << 0xD6 << 0x221Au;
    QTest::newRow("Symbol sum") << SymbolFont::Symbol << 0xE5 << 0x2211u;
    QTest::newRow("Symbol right arrow") << SymbolFont::Symbol << 0xF0AE << 0x2192u;
    // Codes without an equivalent become their private-use alias.
    QTest::newRow("Symbol 0x80") << SymbolFont::Symbol << 0x80 << 0xF080u;
    QTest::newRow("Wingdings check") << SymbolFont::Wingdings << 0xFC << 0x2714u;
    QTest::newRow("Wingdings bullet") << SymbolFont::Wingdings << 0xF09F << 0x2022u;
    QTest::newRow("Wingdings candle") << SymbolFont::Wingdings << 0x27 << 0x1F56Fu;
    QTest::newRow("Wingdings flag") << SymbolFont::Wingdings << 0xFF << 0xF0FFu;
    QTest::newRow("Wingdings 2 check") << SymbolFont::Wingdings2 << 0x50 << 0x2713u;
    QTest::newRow("Wingdings 2 none") << SymbolFont::Wingdings2 << 0xFA << 0xF0FAu;
    QTest::newRow("Wingdings 3 arrow") << SymbolFont::Wingdings3 << 0x67 << 0x2192u;
    QTest::newRow("Webdings dove") << SymbolFont::Webdings << 0xFF << 0x1F54Au;
    QTest::newRow("other symbol font") << SymbolFont::OtherSymbolFont << 0x41 << 0xF041u;
    // Characters that are no symbol codes stay.
    QTest::newRow("control") << SymbolFont::Symbol << 0x0D << 0x0Du;
    QTest::newRow("beyond the codes") << SymbolFont::Wingdings << 0x263A << 0x263Au;
    QTest::newRow("no symbol font") << SymbolFont::None << 0x61 << 0x61u;
  }

  void codes() {
    QFETCH(SymbolFont, font);
    QFETCH(int, stored);
    QFETCH(uint, shown);
    QCOMPARE(uint(morvane::symbolCharacter(font, char16_t(stored))), shown);
  }

  void texts() {
    QCOMPARE(morvane::symbolToUnicode(QStringLiteral("a+b")), QString::fromUtf16(u"\u03B1+\u03B2"));
    // Characters beyond the Basic Multilingual Plane come as surrogate pairs.
    QCOMPARE(morvane::symbolTextToUnicode(SymbolFont::Wingdings, QStringLiteral("'\r")),
             QString::fromUcs4(U"\U0001F56F\r"));
  }
};

QTEST_GUILESS_MAIN(SymbolFontsTest)
#include "test_symbolfonts.moc"
