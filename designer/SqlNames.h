#pragma once
#include <QString>

// Names as they travel between the system tables, the user and SQL text.
namespace SqlNames {

// A name as the system tables deliver it: CHAR columns pad it with blanks at
// the end; blanks inside belong to the name.
QString TrimPadding(const QString& name);

// True for a regular identifier as the server stores it: an upper-case
// letter, then upper-case letters, digits, "_" and "$". Such a name can be
// written into SQL as it stands in any dialect.
bool IsRegularIdentifier(const QString& name);

// The name as it must appear in SQL text: a regular identifier as it
// stands, any other name between double quotes with inner quotes doubled.
QString Identifier(const QString& name);

// True when Identifier(name) needs double quotes.
bool NeedsQuotes(const QString& name);

// A text as an SQL string literal: single quotes around it, inner single
// quotes doubled.
QString StringLiteral(const QString& text);

// A table name typed by the user (the main and detail table): a name in
// double quotes is taken exactly (inner doubled quotes undone); a name that
// would be a regular identifier in any letter case stands for its upper-case
// form, as the server treats an undelimited name; anything else is taken
// exactly.
QString UserNameKey(const QString& typed);

// How a user-typed table name is written into SQL: a plain name or a name in
// double quotes as typed, anything else delimited.
QString UserNameSql(const QString& typed);

}   // namespace SqlNames
