// Reads Word 97-2003 documents with Apache POI's HWPF and prints what it
// found, one line per fact, for the tests to compare:
//   FILE <path>
//   TEXT <the document text as UTF-16 code units in hex>
//   PARA <start> <end> <style index> <outline level> <right to left 0/1>
//   RUN <start> <end> <font name in hex> <bold 0/1> <half points>
//   PROP <title in hex> <application in hex> <created ms> <saved ms>
//   ERROR <exception>
// Exits with 1 when any document could not be read.

import java.io.FileInputStream;
import java.io.InputStream;
import java.util.Date;

import org.apache.poi.hpsf.SummaryInformation;
import org.apache.poi.hwpf.HWPFDocument;
import org.apache.poi.hwpf.usermodel.CharacterRun;
import org.apache.poi.hwpf.usermodel.Paragraph;
import org.apache.poi.hwpf.usermodel.Range;

public final class CheckDoc {
  private static String hex(String s) {
    if (s == null) return "-";
    StringBuilder out = new StringBuilder();
    for (int i = 0; i < s.length(); ++i) out.append(String.format("%04x", (int) s.charAt(i)));
    return out.length() == 0 ? "-" : out.toString();
  }

  private static int flag(boolean b) {
    return b ? 1 : 0;
  }

  private static long millis(Date d) {
    return d == null ? -1 : d.getTime();
  }

  private static void describe(String path) throws Exception {
    try (InputStream in = new FileInputStream(path)) {
      HWPFDocument doc = new HWPFDocument(in);
      System.out.println("TEXT " + hex(doc.getText().toString()));
      Range range = doc.getRange();
      for (int i = 0; i < range.numParagraphs(); ++i) {
        Paragraph p = range.getParagraph(i);
        System.out.println("PARA " + p.getStartOffset() + " " + p.getEndOffset() + " "
            + p.getStyleIndex() + " " + p.getLvl() + " " + flag(p.getProps().getFBiDi()));
      }
      for (int i = 0; i < range.numCharacterRuns(); ++i) {
        CharacterRun run = range.getCharacterRun(i);
        System.out.println("RUN " + run.getStartOffset() + " " + run.getEndOffset() + " "
            + hex(run.getFontName()) + " " + flag(run.isBold()) + " " + run.getFontSize());
      }
      SummaryInformation info = doc.getSummaryInformation();
      if (info == null) {
        System.out.println("PROP - - -1 -1");
      } else {
        System.out.println("PROP " + hex(info.getTitle()) + " " + hex(info.getApplicationName())
            + " " + millis(info.getCreateDateTime()) + " " + millis(info.getLastSaveDateTime()));
      }
    }
  }

  public static void main(String[] args) {
    boolean failed = false;
    for (String path : args) {
      System.out.println("FILE " + path);
      try {
        describe(path);
      } catch (Throwable e) {
        failed = true;
        System.out.println("ERROR " + e.toString().replace('\n', ' '));
      }
    }
    System.exit(failed ? 1 : 0);
  }
}
