#!/usr/bin/env python3
"""Writes the AutoScout24 sample data export (run once; the output is committed).

It links the photos examples/make-paruvendu-example.py wrote; one link names a
photo that is missing, so the run shows its problem lines."""
import os

from sample_export import esc, export_bytes, lookup_sections

HERE = os.path.dirname(os.path.abspath(__file__))
# id, make, model, version, gearbox, body, colour, energy, month, year, km, price, doors, seats, power,
# warranty, VIN, plate, interior, exterior, safety, photos linked
vehicles = [
    (1001, "Renault", "Clio", "Clio 1.5 dCi 90 Expression", "Manuelle", "Berline", "Gris platine", "Diesel",
     3, 2019, 61200, 8900, "5", "5", "90", "12 mois", "VF15RBF0A52345678", "EX-101-AB",
     ";Clim;RadCD;VitreElec;DirAss;", ";JantAll;", ";ABS;ESP;AirbagCond;AirbagPass;", 3),
    (1002, "Peugeot", "208", "208 PureTech 82 Active", "Manuelle", "Citadine", "Blanc nacré", "Essence",
     7, 2020, 34100, 11490, "05", "5", "82", "12", "VR3UPHNKSKT123456", "EX-102-CD",
     ";ClimAuto;GPS;RegVit;OrdiBord;", ";JantAll;Radrecul;PMat;", ";ABS;ESP;AirbagLat;AntiDem;", 7),
    (1003, "Citroën", "C3 Aircross", "C3 Aircross PureTech 110 Shine", "Manuelle", "SUV", "Rouge élixir", "Essence",
     11, 2021, 22000, 14990, "5 portes", "5", "110", "", "VR7A1HNSSKT654321", "EX-103-EF",
     ";Clim;", "", ";ABS;", 3),
    (1004, "BMW", "Série 3", "Série 3 320d Luxe", "Automatique", "Berline", "Noir saphir", "Diesel",
     12, 2018, 88000, 21900, "4", "5", "190", "24", "WBA8E11060A987654", "EX-104-GH",
     ";SCuir;ClimAuto;GPS;SChauf;SElect;", ";JantAll;ToitOuvr;;", ";ABS;ESP;LXen;Alarme;", 6),
    (1005, "Volkswagen", "Golf", "Golf VII 1.6 TDI Carat", "Manuelle", "Compacte", "Bleu", "Diesel",
     5, 2017, 97500, 15500, "5", "5", "110", "6 MOIS", "WVWZZZAUZHW112233", "EX-105-IJ",
     ";Clim;RadCD;", ";JantAll;", ";ABS;", 1),
    (1006, "Škoda", "Octavia", "Octavia Combi 2.0 TDI Style", "Manuelle", "Break", "Gris acier", "Diesel",
     9, 2019, 75000, 17800, "5", "5", "150", "12", "TMBJJ7NE0K0445566", "EX-106-KL",
     ";ClimAuto;RegVit;", ";AttRem;", ";ABS;ESP;AntiBrou;", 4),
    (1007, "Toyota", "Yaris", "Yaris Hybride 100h Dynamic", "Automatique", "Citadine", "Blanc", "Hybride",
     2, 2020, 41000, 13900, "5", "5", "100", "12", "VNKKD3D330A778899", "EX-107-MN",
     ";ClimAuto;", "", ";ABS;ESP;", 0),
    (1008, "Dacia", "Sandero", "Sandero Stepway TCe 90 Prestige", "Manuelle", "Citadine", "Orange", "Essence",
     6, 2021, 18000, 10900, "5", "5", "90", "", "UU15SDL1A66001122", "EX-108-OP",
     ";Clim;", ";Tuning;PorBag;", ";ABS;", 2),
    (1009, "Fiat", "500", "500 1.2 8v Lounge", "Manuelle", "Citadine", "Crème", "Essence",
     4, 2016, 64000, 7990, "3", "4", "69", "3 mois", "ZFA31200003334455", "EX-109-QR",
     ";Clim;ToitOuvr;", ";JantAll;", ";ABS;", 3),
    (1010, "Mercedes-Benz", "Classe A", "Classe A 180 d Progressive Line", "Automatique", "Compacte", "Argent",
     "Diesel", 10, 2019, 52000, 24500, "5", "5", "116", "24", "WDD1770031V556677", "EX-110-ST",
     ";SCuir;GPS;ClimAuto;SChauf;", ";JantAll;", ";ABS;ESP;AirbagCond;AirbagPass;AirbagLat;", 5),
    (1011, "Opel", "Corsa", "Corsa 1.2 Édition", "Manuelle", "Citadine", "Noir", "Essence",
     1, 2018, 70500, 9200, "5", "5", "70", "", "W0L0XEP6854778899", "EX-111-UV",
     ";RadCD;", "", ";ABS;", 2),
    (1012, "Nissan", "Leaf", "Leaf 40 kWh Acenta", "Automatique", "Compacte", "Blanc", "Électrique",
     8, 2019, 38000, 16900, "5", "5", "150", "12", "SJNFAAZE1U0990011", "EX-112-WX",
     ";ClimAuto;GPS;EquHandi;", "", ";ABS;ESP;", 1),
]
labels = [
    ("CLIM", "Climatisation"), ("CLIMAUTO", "Climatisation automatique"), ("GPS", "GPS"),
    ("SCUIR", "Sellerie cuir"), ("JANTALL", "Jantes alliage"), ("ABS", "Freins ABS"),
    ("ESP", "Contrôle de trajectoire ESP"),
]
fields = ("idNVO", "IMarque", "IModele", "IVersion", "TypeBoiteVitesse", "TypeCarrosserie", "Couleur", "Energie",
          "MoisMEC", "AnneeMEC", "Kilometrage", "PrixDuBien", "NombreDePortes", "NbPlaces", "Puissance", "Garantie",
          "NChassis", "Immatriculation", "InfoEquiInterieur", "InfoEquiExterieur", "InfoEquiSecurite")




out = ['<?xml version="1.0" encoding="ISO-8859-15"?>', "<document>",
       '  <DataVOS EOF="False" BOF="False" RecordName="DataVO">']
links = []
for v in vehicles:
    out.append("    <DataVO>")
    for name, value in zip(fields, v):
        out.append(f"      <{name}>{esc(str(value))}</{name}>")
    out.append("    </DataVO>")
    links += [(v[0], f"{v[0]}_{k}") for k in range(1, v[-1] + 1)]
out.append("  </DataVOS>")
out += lookup_sections(links, labels)
with open(os.path.join(HERE, "Windows/TEMP/Annoncia/ExpDatasAutoScout24.xml"), "wb") as f:
    f.write(export_bytes(out))
