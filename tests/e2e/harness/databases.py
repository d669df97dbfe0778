"""Dream databases the tests make, and what a database holds, read independently of the program."""

import sqlite3


def dream_database(rows):
    """A writer of a small dream database (table Somnara, columns 主题 and 内容) holding `rows`,
    in that order; pass it as a program's database."""
    def write(path):
        db = sqlite3.connect(path)
        try:
            db.execute("CREATE TABLE Somnara (编号 INTEGER PRIMARY KEY, 主题 TEXT, 内容 TEXT)")
            db.executemany("INSERT INTO Somnara (主题, 内容) VALUES (?, ?)", rows)
            db.commit()
        finally:
            db.close()
    return write


def _read_only(path):
    return sqlite3.connect(f"file:{path}?mode=ro", uri=True)


def first_content(path, where="", args=()):
    """内容 of the first row the statement yields, or "" when it yields none."""
    db = _read_only(path)
    try:
        cursor = db.execute("SELECT * FROM Somnara " + where, args)
        names = [d[0] for d in cursor.description]
        row = cursor.fetchone()
        return (row[names.index("内容")] or "") if row else ""
    finally:
        db.close()


def content_for(path, keyword, containment=False):
    if containment:
        return first_content(path, "WHERE 主题 LIKE '%' || ? || '%'", (keyword,))
    return first_content(path, "WHERE 主题 = ?", (keyword,))
