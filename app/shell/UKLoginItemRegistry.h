#pragma once

// Starting the program when the user logs in: one desktop entry per login
// item in the user's autostart folder ($XDG_CONFIG_HOME/autostart). Adding
// twice makes two entries, as a list of login items would hold the program
// twice; deleting removes every entry that starts this program.

#include <QString>

class UKLoginItemRegistry {
public:
    // `program` is the executable the entries start.
    explicit UKLoginItemRegistry(QString program);

    // False when the autostart folder cannot be made or written.
    bool addAppAsLoginItem() const;
    // Removes each entry whose command starts the program; false when one could not go.
    bool deleteAppFromLoginItem() const;

    // The folder the entries go in.
    static QString autostartFolder();
    // The program an entry's Exec line starts (its first word, unquoted); empty when none.
    static QString programOfExec(const QString& exec);

private:
    QString program_;
};
