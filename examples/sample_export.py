"""What every sample data export shares: escaping, the lookup sections after DataVOS, the bytes."""


def esc(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def lookup_sections(links, labels):
    """The lines after DataVOS: the photo links (vehicle, photo name), the equipment labels
    (code, label), the aliases and the end of the document."""
    out = ['  <LiensImagesS EOF="False" RecordName="LiensImages">']
    for vid, name in links:
        out.append(f"    <LiensImages><idNVO>{vid}</idNVO><NomImage>{name}</NomImage></LiensImages>")
    out.append("  </LiensImagesS>")
    out.append('  <LiensEquipementsS EOF="False" RecordName="LiensEquipements">')
    for code, label in labels:
        out.append(f"    <LiensEquipements><AbbrEquip>{code}</AbbrEquip>"
                   f"<LibelleEquipement>{esc(label)}</LibelleEquipement></LiensEquipements>")
    out.append("  </LiensEquipementsS>")
    out.append("  <Aliases><Alias Nom=\"VO\">Véhicules d'occasion</Alias></Aliases>")
    out.append("</document>")
    return out


def export_bytes(lines, errors="strict"):
    """The export as the stock system writes it: CR LF line ends, ISO-8859-15."""
    return ("\r\n".join(lines) + "\r\n").encode("iso-8859-15", errors)
