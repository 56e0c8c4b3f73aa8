#!/usr/bin/env python3
"""Writes the SitAutoPro sample data export (run once; the output is committed).

The photos are the ParuVendu sample's (examples/photos), linked by the same names."""
import os

from sample_export import esc, export_bytes, lookup_sections

HERE = os.path.dirname(os.path.abspath(__file__))
dealer = [
    ("CODECLIENT", "SA123456"), ("RAISONSOCIALE", "Garage de l'Étang SARL"), ("ADRESSE", "12 rue des Écoles"),
    ("CODEPOSTAL", "69003"), ("VILLE", "Lyon"), ("TELEPHONE", "04 78 00 00 00"),
    ("EMAIL", "contact@garage-etang.example"),
]
vehicles = [
    # reference, make, model, version, body type, energy, price, year, km, colour, warranty, doors,
    # interior, exterior, safety, complement, photo links, slots in the export, comment
    (1001, "Renault", "Clio", "Clio 1.5 dCi 90 Expression", "Berline", "Diesel", 8900, 2019, 61200, "Gris platine",
     "12 mois", "5 portes avec hayon", ";Clim;RadCD;DirAss;VitreElect;", ";JantAll;RetrElec;", ";ABS;ESP;VerCent;AirbagCond;",
     ";VNF;", 3, 6, "Entretien à jour, carnet complet."),
    (1002, "Peugeot", "208", "208 PureTech 82 Active", "Berline", "Essence", 11490, 2020, 34100, "Blanc nacré",
     "24 MOIS", "5p", ";ClimAuto;RadMP3;RadCD;OrdiBord;RegVit;", ";JantAll;", ";ABS;ESP;AirbagLat;AntiDem;", "", 8, 6,
     "Première main, prix 11 490 €."),
    (1003, "Citroën", "C3 Aircross", "C3 Aircross Shine", "4x4", "Essence", 14990, 2021, 22000, "Rouge élixir",
     "12 mois", "5 Portes", ";Clim;RadCD;", ";PorBag;AttRem;", ";ABS;ESP;", ";VNF;", 2, 6, "Coup de cœur assuré."),
    (1004, "BMW", "Série 3", "Série 3 320d Luxe", "Berline", "Diesel", 21900, 2018, 88000, "Noir saphir",
     "6 mois", "4 portes", ";ClimAuto;SChauf;SElect;VMFonct;RadCD;", ";JantAll;RetrElec;", ";ABS;ESP;LXen;AntiBrou;Alarme;",
     "", 6, 6, "Sellerie cuir, xénon."),
    (1005, "Volkswagen", "Golf", "Golf VII 1.6 TDI Carat", "Break", "Diesel", 15500, 2017, 97500, "Bleu",
     "12 mois", "5 portes", ";Clim;RadCass;", ";Tuning;", ";ABS;", "", 1, 6, "Révision faite."),
    (1006, "Škoda", "Octavia", "Octavia Combi 2.0 TDI Style", "Break", "Diesel", 17800, 2019, 75000, "Gris acier",
     "12 mois", "5 portes avec hayon", ";ClimAuto;ToitOuvr;", ";AttRem;PorBag;", ";ABS;ESP;AntiPat;", ";VNF;", 4, 6,
     "Attelage amovible."),
    (1007, "Toyota", "Yaris", "Yaris Hybride 100h Dynamic", "Berline", "Hybride", 13900, 2020, 41000, "Blanc",
     "24 mois", "5p", ";ClimAuto;VitreTeint;", "", ";ABS;ESP;", "", 0, 6, "Photos à venir."),
    (1008, "Renault", "Trafic", "Trafic L1H1 dCi 120 Grand Confort", "Société", "Diesel", 19900, 2019, 98000,
     "Blanc glacier", "6 mois", "4 portes", ";Clim;RadCD;", "", ";ABS;", "", 2, 6, "Utilitaire, TVA récupérable."),
    (1009, "Fiat", "500", "500 1.2 8v Lounge", "Cabriolet", "Essence", 7990, 2016, 64000, "Crème",
     "", "3p", ";Clim;RadCD;", ";JantAll;", ";ABS;", "", 3, 6, "Capote électrique."),
    (1010, "Audi", "A5", "A5 Coupé 2.0 TDI S line", "Coupé", "Diesel", 24500, 2019, 52000, "Argent",
     "12 mois", "3 portes", ";ClimAuto;Clim;RadMP3;SChauf;", ";JantAll;", ";ABS;ESP;AirbagCond;AirbagLat;", "", 5, 6,
     "Très bel état."),
    # An older export template carried four photo slots only.
    (1011, "Opel", "Corsa", "Corsa 1.2 Édition", "Berline", "Essence", 9200, 2018, 70500, "Noir",
     "12 mois", "5 portes", "", "", ";ABS;", "", 2, 4, "Faible kilométrage."),
    (1012, "Nissan", "Leaf", "Leaf 40 kWh Acenta", "Monospace", "Électrique", 16900, 2019, 38000, "Blanc",
     "24 mois", "5 portes", ";ClimAuto;RadCD;OrdiBord;", "", ";ABS;ESP;", ";VNF;", 1, 6, "Batterie garantie."),
]
labels = [
    ("CLIM", "Climatisation"), ("CLIMAUTO", "Climatisation automatique"), ("RADCD", "Radio CD"),
    ("JANTALL", "Jantes alliage"), ("ABS", "Freins ABS"), ("ESP", "Contrôle de trajectoire ESP"),
]


out = ['<?xml version="1.0" encoding="ISO-8859-15"?>', "<document>",
       '  <COORDONNEESS EOF="False" BOF="False" RecordName="COORDONNEES">', "    <COORDONNEES>"]
out += [f"      <{n}>{esc(v)}</{n}>" for n, v in dealer]
out += ["    </COORDONNEES>", "  </COORDONNEESS>", '  <DataVOS EOF="False" BOF="False" RecordName="DataVO">']
links = []
for (ref, make, model, version, body, energy, price, year, km, colour, warranty, doors,
     inte, exte, secu, extra, nlinks, nslots, comment) in vehicles:
    out.append("    <DataVO>")
    for name, value in (("REFERENCE", ref), ("MARQUE", make), ("MODELE", model), ("VERSION", version),
                        ("CATEGORIE", body), ("ENERGIE", energy), ("PRIX", price), ("ANNEE", year),
                        ("KILOMETRAGE", km), ("COULEUR", colour), ("GARANTIE", warranty), ("NB_PORTES", doors),
                        ("EQUTINTERIEUR", inte), ("EQUTEXTERIEUR", exte), ("EQUTSECURITE", secu),
                        ("INFOCOMPLEMENT", extra)):
        out.append(f"      <{name}>{esc(str(value))}</{name}>")
    for n in range(1, nslots + 1):
        out.append(f"      <NOMPHOTO{n}></NOMPHOTO{n}>")
    out.append(f"      <COMMENTAIRE>{esc(comment)}</COMMENTAIRE>")
    out.append("    </DataVO>")
    for k in range(1, nlinks + 1):
        links.append((ref, f"{ref}_{k}"))
out.append("  </DataVOS>")
out += lookup_sections(links, labels)
with open(os.path.join(HERE, "Windows/TEMP/Annoncia/ExpDatasSitAutoPro.xml"), "wb") as f:
    f.write(export_bytes(out))
