#!/usr/bin/env python3
"""Writes a large ParuVendu data export for timing runs.

make-export.py OUT [VEHICLES] [LINKS]: VEHICLES vehicle records (default
10000) and LINKS photo links (default 60000) spread over them unevenly (some
vehicles get none, some more than six), ISO-8859-15 bytes as the stock system
writes them, about 20 MB with the defaults. The same arguments give the same
file.
"""
import random
import sys

out_path = sys.argv[1]
vehicles = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
links = int(sys.argv[3]) if len(sys.argv) > 3 else 60000
rng = random.Random(20240610)

makes = [("Renault", ["Clio 1.5 dCi 90 Expression", "Mégane IV Estate Blue dCi 115", "Captur TCe 90 Zen"]),
         ("Peugeot", ["208 PureTech 82 Active", "3008 BlueHDi 130 Allure", "Partner Tepee 1.6 HDi"]),
         ("Citroën", ["C3 Aircross Shine", "C4 Picasso e-HDi 115", "Berlingo Multispace XTR"]),
         ("Série", ["3 320d Luxe", "1 118i Lounge"]),
         ("Škoda", ["Octavia Combi 2.0 TDI Style", "Fabia 1.0 MPI Ambition"]),
         ("Volkswagen", ["Golf VII 1.6 TDI Carat", "Polo 1.0 TSI Confortline"]),
         ("Mercedes-Benz", ["Classe A 180 d Progressive Line"])]
colours = ["Blanc nacré", "Gris platine", "Rouge élixir", "Noir étoile", "Bleu océan", "Crème brûlée"]
labels = [("CLIM", "Climatisation"), ("CLIMAUTO", "Climatisation automatique"), ("RADCD", "Radio CD"),
          ("GPS", "GPS"), ("CUIR", "Sellerie cuir"), ("CAMERA", "Caméra de recul"), ("JA", "Jantes alliage"),
          ("RETROELEC", "Rétroviseurs électriques"), ("TO", "Toit ouvrant"), ("ATTELAGE", "Attelage"),
          ("BARRES", "Barres de toit"), ("ABS", "Freins ABS"), ("ESP", "Contrôle de trajectoire ESP"),
          ("AIRBAG6", "6 airbags"), ("GAR12", "Garantie 12 mois"), ("GAR24", "Garantie 24 mois"),
          ("1MAIN", "Première main")]
interior = ["CLIM", "CLIMAUTO", "RADCD", "GPS", "CUIR", "CAMERA"]
exterior = ["JA", "RETROELEC", "TO", "ATTELAGE", "BARRES"]
safety = ["ABS", "ESP", "AIRBAG6"]
extra = ["GAR12", "GAR24", "1MAIN"]


def codes(pool):
    chosen = rng.sample(pool, rng.randint(0, len(pool)))
    return ";" + ";".join(chosen) + ";" if chosen else ""


def esc(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


first_id = 100000
out = ['<?xml version="1.0" encoding="ISO-8859-15"?>', "<document>",
       '  <DataVOS EOF="False" BOF="False" RecordName="DataVO">']
for k in range(vehicles):
    make, models = makes[k % len(makes)]
    model = rng.choice(models)
    fields = [("idNVO", first_id + k), ("SousRubrique", make),
              ("ModeleVersion", (make.upper() + " " if k % 3 == 0 else make + " " if k % 3 == 1 else "") + model),
              ("Prix", rng.randint(4000, 40000)), ("Annee", rng.randint(2010, 2023)),
              ("Kilometrage", rng.randint(5000, 220000)), ("Energie", rng.choice(["Diesel", "Essence", "Électrique"])),
              ("Couleur", rng.choice(colours)),
              ("Commentaire", "Véhicule révisé, carnet d'entretien à jour, contrôle technique OK. " * rng.randint(4, 16)),
              ("EqutInterieur", codes(interior)), ("EqutExterieur", codes(exterior)),
              ("EqutSecurite", codes(safety)), ("InfoComplement", codes(extra))]
    out.append("    <DataVO>")
    for name, value in fields:
        out.append(f"      <{name}>{esc(str(value))}</{name}>")
    for n in range(1, 7):
        out.append(f"      <NomPhoto{n}></NomPhoto{n}>")
    out.append("    </DataVO>")
out.append("  </DataVOS>")
out.append('  <LiensImagesS EOF="False" RecordName="LiensImages">')
counts = [0] * vehicles
for _ in range(links):
    v = min(int(rng.expovariate(1.0) * vehicles / 4), vehicles - 1) if rng.random() < 0.2 else rng.randrange(vehicles)
    counts[v] += 1
    out.append(f"    <LiensImages><idNVO>{first_id + v}</idNVO><NomImage>{first_id + v}_{counts[v]}</NomImage></LiensImages>")
out.append("  </LiensImagesS>")
out.append('  <LiensEquipementsS EOF="False" RecordName="LiensEquipements">')
for code, label in labels:
    out.append(f"    <LiensEquipements><AbbrEquip>{code}</AbbrEquip><LibelleEquipement>{esc(label)}</LibelleEquipement></LiensEquipements>")
out.append("  </LiensEquipementsS>")
out.append('  <Aliases><Alias Nom="VO">Véhicules d\'occasion</Alias></Aliases>')
out.append("</document>")
with open(out_path, "wb") as f:
    f.write(("\r\n".join(out) + "\r\n").encode("iso-8859-15"))
