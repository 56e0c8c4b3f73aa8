#!/usr/bin/python3
"""Writes a sample run history (historique.jsonl) of the last 30 nights for
the six portals, in the format the program appends after every run: mostly
sent, with one run of each other outcome. The runs are dated relative to
today, so the status page's 30-day charts show them; the choice of outcomes
and counts is fixed (seeded), so the picture is the same from one day to the
next.

    examples/make-history-example.py OUT.jsonl
"""
import datetime
import json
import random
import sys

PORTALS = ["PARUVENDU", "AUTOSCOUT24", "SITAUTOPRO", "TOPANNONCES", "LEBONCOIN", "INFOPRESS"]
# (nights ago, portal): outcome, exit status, error
SPECIAL = {
    (12, "PARUVENDU"): ("not_sent", 3, "Transfert FTP : Erreur Connexion au serveur."),
    (7, "AUTOSCOUT24"): ("error", 1, "TXMLCursor.Load FileName[ExpDatasAutoScout24.xml] does not exists"),
    (4, "SITAUTOPRO"): ("held_back", 3, "Flux retenu : 3 VO au lieu de 118 la veille"),
    (2, "TOPANNONCES"): ("photos_incomplete", 4, "Serveur photos indisponible : 14 photos non envoyées"),
    (9, "INFOPRESS"): ("refused", 1, "Export INFOPRESS déjà en cours"),
    (1, "AUTOSCOUT24"): ("not_sent", 3, "Transfert FTP : Erreur lors du transfert."),
}


def main():
    out = sys.argv[1]
    rng = random.Random(19)
    today = datetime.datetime.now().astimezone().replace(hour=2, minute=15, second=0, microsecond=0)
    lines = []
    for night in range(30, 0, -1):
        for slot, portal in enumerate(PORTALS):
            start = today - datetime.timedelta(days=night) + datetime.timedelta(minutes=5 * slot)
            vehicles = 110 + rng.randint(-6, 9)
            outcome, status, error = SPECIAL.get((night, portal), ("sent", 0, None))
            if portal == "LEBONCOIN" and outcome == "sent":
                outcome = "nothing_to_send"
            if outcome == "error":
                vehicles = 0
            if outcome == "held_back":
                vehicles = 3
            duration = round(rng.uniform(8, 40), 3)
            links = vehicles * 6
            sent_photos = rng.randint(0, 12) if outcome != "error" else 0
            name = {"PARUVENDU": "RovelleDatasVO-%s.xml" % start.strftime("%Y%m%d"),
                    "AUTOSCOUT24": "0123456789.csv", "SITAUTOPRO": "SA123456.xml"}.get(portal, portal.lower() + ".xml")
            last = "Transfert FTP OK : Fichier VO actualisé transmis sur site FTP : %s - %d VO" % (name, vehicles)
            if error:
                last = error
            lines.append({
                "portal": portal,
                "start": start.isoformat(),
                "end": (start + datetime.timedelta(seconds=duration)).isoformat(timespec="seconds"),
                "duration_s": duration,
                "exit_status": status,
                "outcome": outcome,
                "last_line": "-> %s - %s" % (start.strftime("%d/%m/%Y %H:%M:%S"), last),
                "error": error,
                "vehicles": vehicles,
                "photo_links": links,
                "photos_sent": sent_photos,
                "photos_missing": rng.choice([0, 0, 0, 1, 2]),
                "photos_not_sent": 14 if outcome == "photos_incomplete" else 0,
                "feed_file": None if outcome == "error" else name,
                "feed_size": None if outcome == "error" else vehicles * 2900,
                "archive_file": None if portal == "PARUVENDU" or outcome == "error" else name[:-4] + ".zip",
                "archive_size": None if portal == "PARUVENDU" or outcome == "error" else vehicles * 700,
                "version": "1.1.0",
            })
    with open(out, "w", encoding="utf-8") as f:
        for line in lines:
            f.write(json.dumps(line, ensure_ascii=False) + "\n")


if __name__ == "__main__":
    main()
