# tools/assetgen/names.py: every word the intro shows, in one place so images and text agree.
#
# All of them are made up for this production.

GROUP = "MORVELT"
RELEASE = "GLIMMERFOLD"
CODE_BY = "TALLOWREN"
GRAPHICS_BY = "QUILLMOSS"
MUSIC_BY = "ORBELUNE"
RELEASE_DATE = "17.12.2024"
EDITOR = "Lumenweave Composer"   # the editor name stored in the module's tracker field

PANEL_LINES = [
    RELEASE,
    "A " + GROUP + " PRODUCTION",
    "CODE BY " + CODE_BY,
    "GRAPHICS BY " + GRAPHICS_BY,
    "MUSIC BY " + MUSIC_BY,
    "RELEASED " + RELEASE_DATE,
]
