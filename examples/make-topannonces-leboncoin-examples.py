#!/usr/bin/env python3
"""Writes the TopAnnonces, LeBonCoin and InfoPress sample data exports (run once;
the output is committed). The photos are those of examples/photos."""
import os

from sample_export import esc, export_bytes, lookup_sections

HERE = os.path.dirname(os.path.abspath(__file__))
PHOTOS = sorted(f[:-4] for f in os.listdir(os.path.join(HERE, "photos")) if f.endswith(".jpg") and not f.endswith("m.jpg"))

# id, make, model, version, body, gearbox, doors, power, km, year, first registration,
# energy, colour, interior, exterior, safety, extra, warranty, contact, telephone
vehicles = [
    (1001, "Renault", "Clio", "Clio 1.5 dCi 90 Expression", "Berline", "Manuelle", "5 portes avec hayon", 5,
     61200, 2019, "14/03/2019", "Diesel", "Gris platine", ";Clim;RadCD;DirAss;", ";JantAll;", ";ABS;ESP;AirbagLat;",
     ";1Main;", "12 mois", "M. Lefèvre", "01.23.45.67.89"),
    (1002, "Peugeot", "208", "208 PureTech 82 Active Business 5 portes", "Berline", "Manuelle", "5 portes", 4,
     34100, 2020, "02/07/2020", "Essence", "Blanc nacré", ";ClimAuto;GPS;VitreElect;RegVit;", ";Radrecul;PMat;",
     ";ABS;ESP;Alarme;", "", "6 MOIS", "Mme Girard", "02.40.11.22.33"),
    (1003, "Citroën", "C3 Aircross", "C3 Aircross Shine", "Monospace", "Automatique", "5p", 6,
     22000, 2021, "21/09/2021", "Essence", "Rouge élixir", ";Clim;", "", ";ABS;", ";Gar;", " 12 mois ",
     "M. Lefèvre", "01.23.45.67.89"),
    (1004, "BMW", "Série 3", "Série 3 320d Luxe", "Berline", "Automatique 8 rapports", "4 portes", 11,
     88000, 2018, "30/01/2018", "Diesel", "Noir saphir", ";SCuir;ClimAuto;GPS;OrdiBord;SElect;",
     ";ToitOuvr;JantAll;", ";ABS;ESP;AntiDem;", "", "24 mois", "Mme Girard", "02.40.11.22.33"),
    (1005, "Volkswagen", "Golf", "Golf VII 1.6 TDI Carat", "Berline", "Manuelle", "3p", 7,
     97500, 2017, "11/05/2017", "Diesel", "Bleu", ";Clim;RadCD;", ";JantAll;", ";ABS;", "", "",
     "M. Lefèvre", "01.23.45.67.89"),
    (1006, "Škoda", "Octavia", "Octavia Combi 2.0 TDI Style", "Break", "Manuelle", "5 portes avec hayon", 8,
     75000, 2019, "08/11/2019", "Diesel", "Gris acier", ";ClimAuto;", ";AttRem;PorBag;", ";ABS;ESP;", "",
     "douze mois", "Mme Girard", "02.40.11.22.33"),
    (1007, "Toyota", "Yaris", "Yaris Hybride 100h Dynamic", "Citadine", "Automatique", "5 portes", 5,
     41000, 2020, "17/06/2020", "Hybride", "Blanc", ";ClimAuto;", "", ";ABS;ESP;", "", "12 mois",
     "M. Lefèvre", "01.23.45.67.89"),
    (1008, "Dacia", "Sandero", "Sandero Stepway TCe 90 Prestige", "Citadine", "Manuelle", "5 portes", 5,
     18000, 2021, "25/02/2021", "Essence", "Orange", ";Clim;", ";Radrecul;", ";ABS;", "", "6 mois",
     "Mme Girard", "02.40.11.22.33"),
    (1009, "Fiat", "500", "500 1.2 8v Lounge", "Citadine", "Manuelle", "3p", 4,
     64000, 2016, "03/04/2016", "Essence", "Crème", ";Clim;", ";ToitOuvr;", ";ABS;", ";1Main;", "",
     "M. Lefèvre", "01.23.45.67.89"),
    (1010, "Mercedes-Benz", "Classe A", "Classe A 180 d Progressive Line – Édition limitée", "Berline",
     "Automatique", "5 portes", 6, 52000, 2019, "19/12/2019", "Diesel", "Argent", ";SCuir;GPS;ClimAuto;",
     ";JantAll;", ";ABS;ESP;AirbagCond;", "", "12 mois", "Mme Girard", "02.40.11.22.33"),
    (1011, "Opel", "Corsa", "Corsa 1.2 Édition", "Citadine", "Manuelle", "3 portes", 5,
     70500, 2018, "09/08/2018", "Essence", "Noir", ";RadCD;", "", ";ABS;", "", "", "M. Lefèvre", "01.23.45.67.89"),
    (1012, "Nissan", "Leaf", "Leaf 40 kWh Acenta", "Berline", "Automatique", "5 portes avec hayon", 9,
     38000, 2019, "28/10/2019", "Électrique", "Blanc", ";ClimAuto;GPS;", "", ";ABS;ESP;", ";Gar;", "12 mois",
     "Mme Girard", "02.40.11.22.33"),
]
labels = [
    ("CLIM", "Climatisation"), ("CLIMAUTO", "Climatisation automatique"), ("RADCD", "Radio CD"),
    ("GPS", "GPS"), ("SCUIR", "Sellerie cuir"), ("ORDIBORD", "Ordinateur de bord"), ("SELECT", "Sièges électriques"),
    ("VITREELECT", "Vitres électriques"), ("REGVIT", "Régulateur de vitesse"), ("DIRASS", "Direction assistée"),
    ("JANTALL", "Jantes alliage"), ("RADRECUL", "Radar de recul"), ("PMAT", "Peinture métallisée"),
    ("TOITOUVR", "Toit ouvrant"), ("ATTREM", "Attelage"), ("PORBAG", "Barres de toit"),
    ("ABS", "Freins ABS"), ("ESP", "Contrôle de trajectoire ESP"), ("AIRBAGLAT", "Airbags latéraux"),
    ("AIRBAGCOND", "Airbag conducteur"), ("ALARME", "Alarme"), ("ANTIDEM", "Antidémarrage"),
    ("GAR", "Sous Garantie"), ("1MAIN", "Première main"),
]




def links_of(vid):
    return [p for p in PHOTOS if p.startswith(f"{vid}_")]


def document(rows, fields):
    out = ['<?xml version="1.0" encoding="ISO-8859-15"?>', "<document>",
           '  <DataVOS EOF="False" BOF="False" RecordName="DataVO">']
    for v in rows:
        out.append("    <DataVO>")
        for name, value in fields(v):
            out.append(f"      <{name}>{esc(str(value))}</{name}>")
        out.append("    </DataVO>")
    out.append("  </DataVOS>")
    out += lookup_sections([(v[0], name) for v in rows for name in links_of(v[0])], labels)
    return export_bytes(out, "xmlcharrefreplace")


def topannonces(v):
    (vid, make, model, version, body, gearbox, doors, power, km, year, first, energy, colour,
     inte, exte, secu, extra, warranty, contact, phone) = v
    fields = [("reference", vid), ("marque", make), ("modele", model), ("MODELEVERSION", version),
              ("EqutInterieur", inte), ("EqutExterieur", exte), ("EqutSecurite", secu), ("InfoComplement", extra),
              ("Kilometrage", km), ("Energie", energy), ("Couleur", colour), ("BOITE_DE_VITESSE", gearbox),
              ("NB_PORTES", doors), ("YearMEC", year), ("FirstMEC", first), ("Garantie", warranty),
              ("Carrosserie", body)]
    fields += [(f"NOMPHOTO{n}", "") for n in range(1, 7)]
    fields.append(("complements", ""))
    return fields


def leboncoin(v):
    (vid, make, model, version, body, gearbox, doors, power, km, year, first, energy, colour,
     inte, exte, secu, extra, warranty, contact, phone) = v
    fields = [("idNVO", vid), ("InfoMarque", make.upper()), ("ModeleVersion", version), ("Carrosserie", body),
              ("Puissance", power), ("Couleur", colour), ("BoiteVitesse", gearbox), ("MEC", first),
              ("Kilometrage", km), ("Energie", energy),
              ("EqutInterieur", inte), ("EqutExterieur", exte), ("EqutSecurite", secu), ("InfoComplement", extra),
              ("Garantie", warranty), ("Contact", contact), ("Telephone", phone)]
    return fields + [(f"photo{n}", "") for n in range(1, 7)]


folder = os.path.join(HERE, "Windows/TEMP/Annoncia")
with open(os.path.join(folder, "ExpDatasTopAnnonces.xml"), "wb") as f:
    f.write(document(vehicles, topannonces))
with open(os.path.join(folder, "ExpDatasLeBonCoin.xml"), "wb") as f:
    f.write(document(vehicles, leboncoin))
with open(os.path.join(folder, "ExpDatasInfoPress.xml"), "wb") as f:
    f.write(document(vehicles[:6], leboncoin))
