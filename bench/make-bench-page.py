#!/usr/bin/env python3
"""Writes the search result page that the parser benchmark reads.

The page looks like what the game site sends back for a search of one user's games in
progress: a full HTML document with a style sheet, scripts, a navigation bar and the
search form, then one table section per game type, one row per game with its link,
players and the bold name of the player whose move it is, then a footer. Every game
lists the benchmark's user among its players; in some of them it is the user's move.

The output is the same on every run (fixed seed) and holds at most 131072 bytes, the
most the program ever reads of one reply: the footer is padded to reach exactly that.

    bench/make-bench-page.py [output]     (default: tests/data/bench/page128k.html)
"""

import os
import random
import sys

PAGE_SIZE = 131072
USER = "Marguerite"
SEED = 20261208

GAME_TYPES = [
    ("bg", "Backgammon"), ("echecs", "Echecs"), ("dames", "Dames internationales"),
    ("go", "Go 9x9"), ("othello", "Othello"), ("p4", "Puissance 4"),
    ("abalone", "Abalone"), ("hex", "Hex 11x11"),
]

PLAYERS = [
    "Alaric", "bertille_77", "Cassandre", "DOMINO", "eloise.b", "Faustin", "Gwendal",
    "Hortense", "isidore42", "Jehanne", "KarlOtto", "leopold", "Mahaut", "Norbert_",
    "Ombeline", "Perceval", "quentin-r", "Rosalinde", "Sigismond", "Tiphaine", "Ulric",
    "Victorine", "Wandrille", "Xavier_B", "Yolande", "Zephyrin", "annabelle", "BRUNO64",
    "Clotaire", "Delphine", "Enguerrand", "Flavie", "Gauvain", "Heloise", "Ignace",
]

STYLE = """
body { margin: 0; padding: 0; font-family: Verdana, Arial, Helvetica, sans-serif; font-size: 11px; color: #2b2b2b; background: #f4f1ea url(img/fond.jpg) repeat-x; }
a { color: #7a2e0e; text-decoration: none; }
a:hover { color: #b5461a; text-decoration: underline; }
img { border: 0; }
#entete { height: 96px; background: url(img/bandeau.jpg) no-repeat; position: relative; }
#entete .logo { position: absolute; left: 18px; top: 12px; }
#entete .connexion { position: absolute; right: 12px; top: 8px; font-size: 10px; color: #fff; }
#menu { background: #5b1f07; height: 24px; line-height: 24px; padding: 0 10px; }
#menu a { color: #f6e7c8; font-weight: bold; padding: 0 9px; border-right: 1px solid #7d3a1c; }
#menu a.actif { background: #7d3a1c; color: #fff; }
#colonne { float: left; width: 170px; padding: 8px; }
#colonne .bloc { background: #fffaf0; border: 1px solid #d9c9a3; margin-bottom: 8px; padding: 6px; }
#colonne .bloc h3 { margin: 0 0 4px 0; font-size: 11px; color: #5b1f07; border-bottom: 1px dotted #d9c9a3; }
#contenu { margin-left: 196px; padding: 8px 12px; }
h1 { font-size: 16px; color: #5b1f07; margin: 6px 0 10px 0; }
.clForm { background: #fffaf0; border: 1px solid #d9c9a3; padding: 6px; margin-bottom: 12px; }
.clForm td { padding: 2px 6px; }
.clForm input, .clForm select { font-size: 11px; border: 1px solid #b9a47a; }
.clBouton { background: #7d3a1c; color: #fff; border: 1px solid #5b1f07; padding: 1px 8px; cursor: pointer; }
table.clListe { width: 100%; border-collapse: collapse; margin-bottom: 14px; }
.clListeEntete { background: #7d3a1c; color: #fff; font-weight: bold; font-size: 12px; padding: 4px 6px; }
.clListeTitre td { background: #e9dcc0; color: #5b1f07; font-weight: bold; padding: 3px 6px; border-bottom: 1px solid #d9c9a3; }
.clListeLigne1 td { background: #fffaf0; padding: 3px 6px; border-bottom: 1px solid #efe4cc; }
.clListeLigne2 td { background: #f7efdc; padding: 3px 6px; border-bottom: 1px solid #efe4cc; }
.clListe tr:hover td { background: #f2dcb8; padding: 3px 6px; border-bottom: 1px solid #efe4cc; }
.clListeIco { width: 20px; text-align: center; }
.clListeNum { width: 70px; white-space: nowrap; }
.clListeDate { width: 110px; white-space: nowrap; color: #6d6d6d; }
.clJ { color: #2b2b2b; }
.clJAbsent { color: #9a9a9a; font-style: italic; }
.clNb { font-weight: normal; font-size: 10px; color: #f6e7c8; }
.clPagination { text-align: center; margin: 10px 0; }
.clPagination a, .clPagination span { padding: 1px 5px; border: 1px solid #d9c9a3; margin: 0 1px; }
#pied { clear: both; border-top: 1px solid #d9c9a3; margin-top: 20px; padding: 8px; text-align: center; font-size: 10px; color: #8a7a5a; }
#infobulle { position: absolute; display: none; background: #fffaf0; border: 1px solid #7d3a1c; padding: 6px; z-index: 100; width: 220px; }
"""

SCRIPT = """
var infoBulle = null;
var joueursCache = {};
function $(id) { return document.getElementById(id); }
function positionBulle(e) {
  e = e || window.event;
  var x = e.pageX || (e.clientX + document.documentElement.scrollLeft);
  var y = e.pageY || (e.clientY + document.documentElement.scrollTop);
  infoBulle.style.left = (x + 12) + 'px';
  infoBulle.style.top = (y + 12) + 'px';
}
function detailJoueur(id) {
  if (!infoBulle) infoBulle = $('infobulle');
  if (joueursCache[id]) { afficheBulle(joueursCache[id]); return false; }
  var req = window.XMLHttpRequest ? new XMLHttpRequest() : new ActiveXObject('Microsoft.XMLHTTP');
  req.onreadystatechange = function () {
    if (req.readyState == 4 && req.status == 200) {
      joueursCache[id] = req.responseText;
      afficheBulle(req.responseText);
    }
  };
  req.open('GET', 'index.php?p=joueur&ajax=1&j=' + id, true);
  req.send(null);
  return false;
}
function afficheBulle(html) {
  infoBulle.innerHTML = html;
  infoBulle.style.display = 'block';
  document.onmousemove = positionBulle;
}
function fermeBulle() {
  if (infoBulle) infoBulle.style.display = 'none';
  document.onmousemove = null;
}
function changePage(n) {
  var f = document.forms['recherche'];
  f.elements['pPage'].value = n;
  f.submit();
  return false;
}
function videFormulaire() {
  var f = document.forms['recherche'];
  for (var i = 0; i < f.elements.length; i++) {
    var el = f.elements[i];
    if (el.type == 'text') el.value = '';
    else if (el.tagName == 'SELECT') el.selectedIndex = 0;
  }
  return false;
}
"""


def nav_bar():
    entries = [("accueil", "Accueil"), ("jeux", "Les jeux"), ("encours", "Mes parties"),
               ("recherche", "Recherche"), ("tournois", "Tournois"), ("classement", "Classements"),
               ("forum", "Forum"), ("aide", "Aide")]
    links = "".join(
        '<a href="index.php?p=%s"%s>%s</a>' % (p, ' class="actif"' if p == "recherche" else "", t)
        for p, t in entries)
    return '<div id="menu">%s</div>\n' % links


def side_column(rng):
    lines = ['<div id="colonne">\n<div class="bloc"><h3>Connect&eacute;s</h3>\n']
    for name in rng.sample(PLAYERS, 12):
        lines.append('<img src="img/puce.gif" width="7" height="7" alt=""> '
                     '<a href="index.php?p=profil&amp;login=%s">%s</a><br>\n' % (name, name))
    lines.append('</div>\n<div class="bloc"><h3>Derniers tournois</h3>\n')
    for i in range(6):
        lines.append('<a href="index.php?p=tournoi&amp;t=%d">Coupe %s %d</a><br>\n'
                     % (900 + i * 7, rng.choice(GAME_TYPES)[1], 2026 - i % 2))
    lines.append('</div>\n</div>\n')
    return "".join(lines)


def search_form():
    options = "".join('<option value="%s">%s</option>' % (code, label) for code, label in GAME_TYPES)
    return (
        '<form name="recherche" method="post" action="index.php?p=recherche" class="clForm">\n'
        '<table><tr><td>Jeu</td><td><select name="pJeu"><option value="">(tous)</option>%s'
        '</select></td>\n<td>Joueur</td><td><input type="text" name="pLoginJ" value="%s" size="16">'
        '</td></tr>\n<tr><td>Num&eacute;ro</td><td><input type="text" name="pidP" value="" size="8">'
        '</td>\n<td>Libell&eacute;</td><td><input type="text" name="pLibP" value="" size="16"></td></tr>\n'
        '<tr><td>&Eacute;tat</td><td><select name="pEtat"><option value="1">en attente</option>'
        '<option value="2" selected>en cours</option><option value="3">termin&eacute;es</option>'
        '</select></td>\n<td colspan="2"><input type="hidden" name="pPage" value="1">'
        '<input type="submit" class="clBouton" value="Rechercher"> '
        '<a href="#" onclick="return videFormulaire();">effacer</a></td></tr></table>\n</form>\n'
        % (options, USER))


def player_entry(name, player_id, bold):
    # The player whose move it is stands in bold; everyone else in the plain class.
    span = ('<span style="font-weight:bold" class="clJ">' if bold else '<span class="clJ">')
    return ('<a href="#" onclick="detailJoueur(%d);return false;">%s%s</span></a>'
            % (player_id, span, name))


def game_row(rng, number, game_id, player_ids):
    others = rng.sample(PLAYERS, rng.randint(1, 4))
    names = others + [USER]
    rng.shuffle(names)
    active = USER if rng.random() < 0.3 else rng.choice(others)
    players = ", ".join(player_entry(n, player_ids[n], n == active) for n in names)
    row_class = "clListeLigne%d" % (1 + number % 2)
    label = rng.choice(["Partie amicale", "Tournoi d'hiver - ronde %d" % rng.randint(1, 7),
                        "Revanche", "Ligue %s" % rng.choice("ABCD"), "Partie class&eacute;e",
                        "D&eacute;fi du jour"])
    return (
        '<tr class="%s">\n'
        '<td class="clListeIco"><img src="img/ico_encours.gif" width="16" height="16" '
        'alt="En cours"></td>\n'
        '<td class="clListeNum"><a href="Partie.php?id=%d">#%d</a></td>\n'
        '<td>%s</td>\n<td>%s</td>\n'
        '<td class="clListeDate">%02d/12/2026 %02d:%02d</td>\n</tr>\n'
        % (row_class, game_id, game_id, label, players, rng.randint(1, 8),
           rng.randint(0, 23), rng.randint(0, 59)))


def section(rng, code, label, rows):
    return (
        '<table class="clListe" cellspacing="0">\n'
        '<tr><td class=clListeEntete colspan=6><img src="img/jeux/%s.gif" width="16" height="16" '
        'align="absmiddle" alt="">&nbsp;&nbsp;%s<span class="clNb"> (%d)</span></td></tr>\n'
        '<tr class="clListeTitre"><td></td><td>N&deg;</td><td>Libell&eacute;</td><td>Joueurs</td>'
        '<td>Dernier coup</td><td></td></tr>\n%s</table>\n' % (code, label, len(rows), "".join(rows)))


def build_page():
    rng = random.Random(SEED)
    player_ids = {name: rng.randint(100, 99999) for name in PLAYERS + [USER]}
    head = (
        '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">\n<html>\n<head>\n'
        '<meta http-equiv="Content-Type" content="text/html; charset=iso-8859-1">\n'
        '<title>Jeux en ligne - Recherche de parties</title>\n'
        '<link rel="shortcut icon" href="favicon.ico">\n'
        '<style type="text/css">%s</style>\n<script type="text/javascript">%s</script>\n'
        '</head>\n<body>\n<div id="infobulle"></div>\n'
        '<div id="entete"><a href="index.php" class="logo"><img src="img/logo.gif" width="240" '
        'height="72" alt="Jeux en ligne"></a>\n<div class="connexion">Connect&eacute; : '
        '<b>%s</b> | <a href="index.php?p=deconnexion">d&eacute;connexion</a></div></div>\n'
        % (STYLE, SCRIPT, USER))
    head += nav_bar() + side_column(rng)
    head += '<div id="contenu">\n<h1>Recherche de parties</h1>\n' + search_form()

    footer_start = (
        '<div class="clPagination"><span>1</span></div>\n</div>\n'
        '<div id="pied">Jeux en ligne &copy; 2004-2026 | <a href="index.php?p=charte">Charte</a> | '
        '<a href="index.php?p=contact">Contact</a>\n')
    footer_end = '</div>\n</body>\n</html>\n'

    # Games are added, a section at a time, while the page still fits; the footer then
    # takes up what is left with the site's usual tracking script.
    budget = PAGE_SIZE - len(footer_start) - len(footer_end) - 200
    body = ""
    game_id = 104000
    number = 0
    types = GAME_TYPES[:]
    rng.shuffle(types)
    done = False
    for code, label in types:
        rows = []
        for _ in range(rng.randint(18, 34)):
            game_id += rng.randint(1, 900)
            row = game_row(rng, number, game_id, player_ids)
            if len(head) + len(body) + len(section(rng, code, label, rows + [row])) > budget:
                done = True
                break
            rows.append(row)
            number += 1
        if rows:
            body += section(rng, code, label, rows)
        if done:
            break

    page = head + body + footer_start
    filler_open = '<script type="text/javascript">\nvar _stats = ['
    filler_close = '];\n</script>\n'
    room = PAGE_SIZE - len(page) - len(footer_end) - len(filler_open) - len(filler_close)
    numbers = []
    while len(",".join(numbers)) < room:
        numbers.append(str(rng.randint(0, 99999)))
    stats = ",".join(numbers)[:room].rstrip(",")
    stats += " " * (room - len(stats))
    page += filler_open + stats + filler_close + footer_end
    return page.encode("ascii"), number


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "tests/data/bench/page128k.html")
    data, games = build_page()
    assert len(data) == PAGE_SIZE, len(data)
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "wb") as f:
        f.write(data)
    print("%s: %d bytes, %d games" % (out, len(data), games))


if __name__ == "__main__":
    main()
