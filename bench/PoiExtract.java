// Apache POI's way of taking the pictures out of a presentation, for the
// benchmark: one JVM per file, the raw stored bytes of each picture written
// to Img0001.<ext>, Img0002.<ext> ... in OUTDIR.
//
//   java -cp CLASSPATH PoiExtract ppt FILE OUTDIR
//     HSLF: every picture frame on every slide (not embedded objects), in
//     slide order, writes the bytes of its picture as stored (no decoding).
//   java -cp CLASSPATH PoiExtract pptx FILE OUTDIR
//     openxml4j (POI's package layer; Debian's POI lacks the full
//     PresentationML schema classes): the slides in the order the
//     presentation part lists them, and for each slide the media parts its
//     image relationships point to, copied byte for byte.

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.ArrayList;
import java.util.List;
import javax.xml.parsers.DocumentBuilderFactory;
import org.apache.poi.hslf.usermodel.HSLFObjectShape;
import org.apache.poi.hslf.usermodel.HSLFPictureData;
import org.apache.poi.hslf.usermodel.HSLFPictureShape;
import org.apache.poi.hslf.usermodel.HSLFShape;
import org.apache.poi.hslf.usermodel.HSLFSlide;
import org.apache.poi.hslf.usermodel.HSLFSlideShow;
import org.apache.poi.openxml4j.opc.OPCPackage;
import org.apache.poi.openxml4j.opc.PackageAccess;
import org.apache.poi.openxml4j.opc.PackagePart;
import org.apache.poi.openxml4j.opc.PackageRelationship;
import org.apache.poi.openxml4j.opc.TargetMode;
import org.apache.poi.poifs.filesystem.POIFSFileSystem;
import org.w3c.dom.Element;
import org.w3c.dom.NodeList;

public final class PoiExtract {
  private static final String PRESENTATIONML =
      "http://schemas.openxmlformats.org/presentationml/2006/main";
  private static final String RELATIONSHIPS =
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

  private final File folder;
  private int written;

  private PoiExtract(File folder) {
    this.folder = folder;
  }

  public static void main(String[] args) throws Exception {
    if (args.length != 3 || !(args[0].equals("ppt") || args[0].equals("pptx"))) {
      System.err.println("usage: PoiExtract ppt|pptx FILE OUTDIR");
      System.exit(2);
    }
    PoiExtract extract = new PoiExtract(new File(args[2]));
    if (args[0].equals("ppt")) {
      extract.fromPpt(new File(args[1]));
    } else {
      extract.fromPptx(new File(args[1]));
    }
  }

  private void fromPpt(File file) throws IOException {
    try (POIFSFileSystem compound = new POIFSFileSystem(file, true);
         HSLFSlideShow show = new HSLFSlideShow(compound)) {
      for (HSLFSlide slide : show.getSlides()) {
        for (HSLFShape shape : slide.getShapes()) {
          if (!(shape instanceof HSLFPictureShape))
            continue;
          HSLFPictureData picture = ((HSLFPictureShape) shape).getPictureData();
          if (picture == null)
            continue;
          write(picture.getData(), picture.getType().extension);
        }
      }
    }
  }

  private void fromPptx(File file) throws Exception {
    try (OPCPackage pkg = OPCPackage.open(file, PackageAccess.READ)) {
      PackagePart presentation = mainPart(pkg);
      for (PackagePart slide : slidesInOrder(presentation)) {
        for (PackageRelationship rel : slide.getRelationships()) {
          if (!rel.getRelationshipType().endsWith("/image")
              || rel.getTargetMode() == TargetMode.EXTERNAL)
            continue;
          PackagePart media = slide.getRelatedPart(rel);
          if (media != null)
            copy(media);
        }
      }
    }
  }

  private static PackagePart mainPart(OPCPackage pkg) throws Exception {
    for (PackageRelationship rel : pkg.getRelationships()) {
      if (rel.getRelationshipType().endsWith("/officeDocument"))
        return pkg.getPart(rel);
    }
    throw new IOException("no presentation part");
  }

  // The slides as p:sldIdLst orders them, each found through its r:id.
  private static List<PackagePart> slidesInOrder(PackagePart presentation) throws Exception {
    DocumentBuilderFactory factory = DocumentBuilderFactory.newInstance();
    factory.setNamespaceAware(true);
    factory.setExpandEntityReferences(false);
    factory.setFeature("http://apache.org/xml/features/disallow-doctype-decl", true);
    NodeList ids;
    try (InputStream in = presentation.getInputStream()) {
      ids = factory.newDocumentBuilder().parse(in).getElementsByTagNameNS(PRESENTATIONML, "sldId");
    }
    List<PackagePart> slides = new ArrayList<>();
    for (int i = 0; i < ids.getLength(); i++) {
      String id = ((Element) ids.item(i)).getAttributeNS(RELATIONSHIPS, "id");
      PackageRelationship rel = presentation.getRelationship(id);
      if (rel == null)
        continue;
      PackagePart slide = presentation.getRelatedPart(rel);
      if (slide != null)
        slides.add(slide);
    }
    return slides;
  }

  private void copy(PackagePart media) throws IOException {
    String name = media.getPartName().getName();
    String extension = name.substring(name.lastIndexOf('.') + 1);
    try (InputStream in = media.getInputStream();
         OutputStream out = new FileOutputStream(nextName(extension))) {
      in.transferTo(out);
    }
  }

  private void write(byte[] bytes, String extension) throws IOException {
    try (OutputStream out = new FileOutputStream(nextName(extension))) {
      out.write(bytes);
    }
  }

  private File nextName(String extension) {
    String dot = extension.startsWith(".") ? "" : ".";
    return new File(folder, String.format("Img%04d%s%s", ++written, dot, extension));
  }
}
