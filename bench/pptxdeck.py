"""Writes small PowerPoint 2007+ (.pptx) decks for the benchmark: every slide
holds the given JPEG pictures as picture frames, nothing else. The package
has what a reader needs (content types, package and part relationships, the
presentation, one slide master, one slide layout and a theme). Standard
library only."""

import zipfile

NS = ('xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
      'xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"')
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PML = "application/vnd.openxmlformats-officedocument.presentationml"
HEAD = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'

SLIDE_CX, SLIDE_CY = 9144000, 6858000
EMU_PER_PIXEL = 9525

EMPTY_TREE = ('<p:spTree><p:nvGrpSpPr><p:cNvPr id="1" name=""/><p:cNvGrpSpPr/><p:nvPr/>'
              '</p:nvGrpSpPr><p:grpSpPr/>{}</p:spTree>')

COLOURS = [("dk1", "000000"), ("lt1", "FFFFFF"), ("dk2", "1F497D"), ("lt2", "EEECE1"),
           ("accent1", "4F81BD"), ("accent2", "C0504D"), ("accent3", "9BBB59"),
           ("accent4", "8064A2"), ("accent5", "4BACC6"), ("accent6", "F79646"),
           ("hlink", "0000FF"), ("folHlink", "800080")]


def relationships(items):
    rels = "".join(f'<Relationship Id="{rid}" Type="{REL}/{kind}" Target="{target}"/>'
                   for rid, kind, target in items)
    return (HEAD + '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/'
            f'relationships">{rels}</Relationships>')


def content_types(slides):
    overrides = [("/ppt/presentation.xml", f"{PML}.presentation.main+xml"),
                 ("/ppt/slideMasters/slideMaster1.xml", f"{PML}.slideMaster+xml"),
                 ("/ppt/slideLayouts/slideLayout1.xml", f"{PML}.slideLayout+xml"),
                 ("/ppt/theme/theme1.xml", "application/vnd.openxmlformats-officedocument.theme+xml")]
    overrides += [(f"/ppt/slides/slide{n}.xml", f"{PML}.slide+xml") for n in range(1, slides + 1)]
    parts = "".join(f'<Override PartName="{name}" ContentType="{kind}"/>' for name, kind in overrides)
    return (HEAD + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" '
            'ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="xml" ContentType="application/xml"/>'
            '<Default Extension="jpeg" ContentType="image/jpeg"/>'
            f'{parts}</Types>')


def presentation(slides):
    ids = "".join(f'<p:sldId id="{255 + n}" r:id="rId{n + 2}"/>' for n in range(1, slides + 1))
    return (HEAD + f'<p:presentation {NS}><p:sldMasterIdLst><p:sldMasterId id="2147483648" '
            f'r:id="rId1"/></p:sldMasterIdLst><p:sldIdLst>{ids}</p:sldIdLst>'
            f'<p:sldSz cx="{SLIDE_CX}" cy="{SLIDE_CY}"/><p:notesSz cx="{SLIDE_CY}" '
            f'cy="{SLIDE_CX}"/></p:presentation>')


def master():
    clr_map = " ".join(f'{k}="{v}"' for k, v in (
        ("bg1", "lt1"), ("tx1", "dk1"), ("bg2", "lt2"), ("tx2", "dk2"), *(
            (f"accent{i}", f"accent{i}") for i in range(1, 7)), ("hlink", "hlink"),
        ("folHlink", "folHlink")))
    return (HEAD + f'<p:sldMaster {NS}><p:cSld>{EMPTY_TREE.format("")}</p:cSld>'
            f'<p:clrMap {clr_map}/><p:sldLayoutIdLst><p:sldLayoutId id="2147483649" '
            'r:id="rId1"/></p:sldLayoutIdLst></p:sldMaster>')


def layout():
    return (HEAD + f'<p:sldLayout {NS} type="blank"><p:cSld name="Blank">'
            f'{EMPTY_TREE.format("")}</p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr>'
            '</p:sldLayout>')


def theme():
    colours = "".join(f'<a:{name}><a:srgbClr val="{value}"/></a:{name}>' for name, value in COLOURS)
    fonts = '<a:latin typeface="Liberation Sans"/><a:ea typeface=""/><a:cs typeface=""/>'
    fill = '<a:solidFill><a:schemeClr val="phClr"/></a:solidFill>'
    line = f'<a:ln w="9525">{fill}</a:ln>'
    effect = '<a:effectStyle><a:effectLst/></a:effectStyle>'
    return (HEAD + '<a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
            'name="Bench"><a:themeElements>'
            f'<a:clrScheme name="Bench">{colours}</a:clrScheme>'
            f'<a:fontScheme name="Bench"><a:majorFont>{fonts}</a:majorFont>'
            f'<a:minorFont>{fonts}</a:minorFont></a:fontScheme>'
            f'<a:fmtScheme name="Bench"><a:fillStyleLst>{fill * 3}</a:fillStyleLst>'
            f'<a:lnStyleLst>{line * 3}</a:lnStyleLst>'
            f'<a:effectStyleLst>{effect * 3}</a:effectStyleLst>'
            f'<a:bgFillStyleLst>{fill * 3}</a:bgFillStyleLst></a:fmtScheme>'
            '</a:themeElements></a:theme>')


def picture_frame(shape_id, rid, index, count, size):
    """A frame showing the picture at its pixel size (96 dpi), the frames of
    one slide placed side by side in a row and scaled to fit."""
    width, height = size[0] * EMU_PER_PIXEL, size[1] * EMU_PER_PIXEL
    scale = min(1.0, SLIDE_CX / (width * count), SLIDE_CY / height)
    cx, cy = int(width * scale), int(height * scale)
    return (f'<p:pic><p:nvPicPr><p:cNvPr id="{shape_id}" name="Picture {shape_id - 1}"/>'
            '<p:cNvPicPr><a:picLocks noChangeAspect="1"/></p:cNvPicPr><p:nvPr/></p:nvPicPr>'
            f'<p:blipFill><a:blip r:embed="{rid}"/><a:stretch><a:fillRect/></a:stretch>'
            f'</p:blipFill><p:spPr><a:xfrm><a:off x="{index * cx}" y="0"/>'
            f'<a:ext cx="{cx}" cy="{cy}"/></a:xfrm><a:prstGeom prst="rect"><a:avLst/>'
            '</a:prstGeom></p:spPr></p:pic>')


def slide(pictures, size):
    frames = "".join(picture_frame(i + 2, f"rId{i + 2}", i, pictures, size)
                     for i in range(pictures))
    return (HEAD + f'<p:sld {NS}><p:cSld>{EMPTY_TREE.format(frames)}</p:cSld>'
            '<p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sld>')


def write_deck(path, jpegs, slides, per_slide, size):
    """Writes a deck of `slides` slides with `per_slide` pictures each. The
    pictures are the JPEG files `jpegs` (bytes), used in turn; each picture
    frame gets a media part of its own, as PowerPoint stores distinct
    pictures. `size` is the pictures' pixel size (width, height)."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as package:
        package.writestr("[Content_Types].xml", content_types(slides))
        package.writestr("_rels/.rels", relationships(
            [("rId1", "officeDocument", "ppt/presentation.xml")]))
        package.writestr("ppt/presentation.xml", presentation(slides))
        package.writestr("ppt/_rels/presentation.xml.rels", relationships(
            [("rId1", "slideMaster", "slideMasters/slideMaster1.xml"),
             ("rId2", "theme", "theme/theme1.xml")] +
            [(f"rId{n + 2}", "slide", f"slides/slide{n}.xml") for n in range(1, slides + 1)]))
        package.writestr("ppt/slideMasters/slideMaster1.xml", master())
        package.writestr("ppt/slideMasters/_rels/slideMaster1.xml.rels", relationships(
            [("rId1", "slideLayout", "../slideLayouts/slideLayout1.xml"),
             ("rId2", "theme", "../theme/theme1.xml")]))
        package.writestr("ppt/slideLayouts/slideLayout1.xml", layout())
        package.writestr("ppt/slideLayouts/_rels/slideLayout1.xml.rels", relationships(
            [("rId1", "slideMaster", "../slideMasters/slideMaster1.xml")]))
        package.writestr("ppt/theme/theme1.xml", theme())
        media = 0
        for n in range(1, slides + 1):
            package.writestr(f"ppt/slides/slide{n}.xml", slide(per_slide, size))
            rels = [("rId1", "slideLayout", "../slideLayouts/slideLayout1.xml")]
            for i in range(per_slide):
                media += 1
                # JPEG data is stored, not deflated, as PowerPoint does.
                package.writestr(zipfile.ZipInfo(f"ppt/media/image{media}.jpeg",
                                                 (2024, 1, 1, 0, 0, 0)),
                                 jpegs[(media - 1) % len(jpegs)], zipfile.ZIP_STORED)
                rels.append((f"rId{i + 2}", "image", f"../media/image{media}.jpeg"))
            package.writestr(f"ppt/slides/_rels/slide{n}.xml.rels", relationships(rels))
