#!/usr/bin/env python3
"""Writes the ParuVendu sample data export and its photos (run once; the output is committed)."""
import os

from sample_export import esc, export_bytes, lookup_sections

HERE = os.path.dirname(os.path.abspath(__file__))
vehicles = [
    # id, make, model, price, year, km, energy, colour, interior, exterior, safety, extra, links, prefilled NomPhoto2
    (1001, "Renault", "RENAULT Clio 1.5 dCi 90 Expression", 8900, 2019, 61200, "Diesel", "Gris platine", ";CLIM;RADCD;", ";JA;", ";ABS;ESP;", ";GAR12;", 3, None),
    (1002, "Peugeot", "Peugeot 208 PureTech 82 Active", 11490, 2020, 34100, "Essence", "Blanc nacré", ";CLIMAUTO;GPS;", ";JA;RETROELEC;", ";ABS;ESP;AIRBAG6;", "", 8, None),
    (1003, "Citroën", "Citroen C3 Aircross Shine", 14990, 2021, 22000, "Essence", "Rouge élixir", ";CLIM;", "", ";ABS;", ";1MAIN;", 2, "http://photos.exemple/vo/1003-atelier.jpg"),
    (1004, "Série", "Série 3 320d Luxe", 21900, 2018, 88000, "Diesel", "Noir saphir", ";CUIR;CLIMAUTO;GPS;", ";TO;JA;", ";ABS;ESP;", ";GAR24;", 6, None),
    (1005, "Volkswagen", "Volkswagen Golf VII 1.6 TDI Carat", 15500, 2017, 97500, "Diesel", "Bleu", ";CLIM;RADCD;", ";JA;", ";ABS;", "", 1, None),
    (1006, "Škoda", "Škoda Octavia Combi 2.0 TDI Style", 17800, 2019, 75000, "Diesel", "Gris acier", ";CLIMAUTO;", ";ATTELAGE;", ";ABS;ESP;", "", 4, None),
    (1007, "Toyota", "Toyota Yaris Hybride 100h Dynamic", 13900, 2020, 41000, "Hybride", "Blanc", ";CLIMAUTO;CAMERA;", "", ";ABS;ESP;", ";GAR12;", 0, None),
    (1008, "Dacia", "Sandero Stepway TCe 90 Prestige", 10900, 2021, 18000, "Essence", "Orange", ";CLIM;", ";BARRES;", ";ABS;", "", 2, None),
    (1009, "Fiat", "Fiat 500 1.2 8v Lounge", 7990, 2016, 64000, "Essence", "Crème", ";CLIM;", ";TO;", ";ABS;", ";1MAIN;", 3, None),
    (1010, "Mercedes-Benz", "Classe A 180 d Progressive Line", 24500, 2019, 52000, "Diesel", "Argent", ";CUIR;GPS;CLIMAUTO;", ";JA;", ";ABS;ESP;AIRBAG6;", ";GAR24;", 5, None),
    (1011, "Opel", "OPEL Corsa 1.2 Édition", 9200, 2018, 70500, "Essence", "Noir", ";RADCD;", "", ";ABS;", "", 2, None),
    (1012, "Nissan", "Nissan Leaf 40 kWh Acenta", 16900, 2019, 38000, "Électrique", "Blanc", ";CLIMAUTO;GPS;CAMERA;", "", ";ABS;ESP;", ";GAR12;", 1, None),
]
labels = [
    ("CLIM", "Climatisation"), ("CLIMAUTO", "Climatisation automatique"), ("RADCD", "Radio CD"),
    ("GPS", "GPS"), ("CUIR", "Sellerie cuir"), ("CAMERA", "Caméra de recul"), ("JA", "Jantes alliage"),
    ("RETROELEC", "Rétroviseurs électriques"), ("TO", "Toit ouvrant"), ("ATTELAGE", "Attelage"),
    ("BARRES", "Barres de toit"), ("ABS", "Freins ABS"), ("ESP", "Contrôle de trajectoire ESP"),
    ("AIRBAG6", "6 airbags"), ("GAR12", "Garantie 12 mois"), ("GAR24", "Garantie 24 mois"),
    ("1MAIN", "Première main"),
]


out = ['<?xml version="1.0" encoding="ISO-8859-15"?>', "<document>",
       '  <DataVOS EOF="False" BOF="False" RecordName="DataVO">']
links = []
for (vid, make, model, price, year, km, energy, colour, inte, exte, secu, extra, nlinks, pre2) in vehicles:
    out.append("    <DataVO>")
    for name, value in (("idNVO", vid), ("SousRubrique", make), ("ModeleVersion", model), ("Prix", price),
                        ("Annee", year), ("Kilometrage", km), ("Energie", energy), ("Couleur", colour),
                        ("EqutInterieur", inte), ("EqutExterieur", exte), ("EqutSecurite", secu),
                        ("InfoComplement", extra)):
        out.append(f"      <{name}>{esc(str(value))}</{name}>")
    for n in range(1, 7):
        value = pre2 if (n == 2 and pre2) else ""
        out.append(f"      <NomPhoto{n}>{esc(value)}</NomPhoto{n}>")
    out.append("    </DataVO>")
    for k in range(1, nlinks + 1):
        links.append((vid, f"{vid}_{k}"))
out.append("  </DataVOS>")
out += lookup_sections(links, labels)
with open(os.path.join(HERE, "Windows/TEMP/Annoncia/ExpDatasParuVendu.xml"), "wb") as f:
    f.write(export_bytes(out))

# Photos and thumbnails: tiny stand-ins with JPEG start and end markers. One
# photo of vehicle 1002 has no thumbnail, one has no photo at all, so the run
# shows both problem lines.
os.makedirs(os.path.join(HERE, "photos"), exist_ok=True)
for vid, name in links:
    if name == "1002_8":
        continue
    body = b"\xff\xd8\xff\xe0" + f"photo {name}".encode() + b"\xff\xd9"
    with open(os.path.join(HERE, "photos", name + ".jpg"), "wb") as f:
        f.write(body)
    if name != "1002_7":
        with open(os.path.join(HERE, "photos", name + "m.jpg"), "wb") as f:
            f.write(body.replace(b"photo", b"thumbnail"))
