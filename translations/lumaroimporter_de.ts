<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AddedFiles</name>
    <message>
        <location filename="../src/platform/AddedFiles.cpp" line="+29"/>
        <source>cannot be read: %1</source>
        <translation>kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>its name is not valid UTF-8, so it cannot be opened by that name here; rename it to upload it</source>
        <translation>sein Name ist kein gültiges UTF-8 und lässt sich unter diesem Namen hier nicht öffnen; benennen Sie es um, um es hochzuladen</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>is a named pipe</source>
        <translation>ist eine benannte Pipe</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>is a socket</source>
        <translation>ist ein Socket</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>is a device</source>
        <translation>ist ein Gerät</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>is not a regular file</source>
        <translation>ist keine normale Datei</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>does not exist by that name here; if its name is not valid UTF-8, rename it to upload it</source>
        <translation>existiert unter diesem Namen hier nicht; falls sein Name kein gültiges UTF-8 ist, benennen Sie es um, um es hochzuladen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>does not exist</source>
        <translation>existiert nicht</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <location filename="../src/app/AppDelegate.cpp" line="+35"/>
        <source>&amp;Connect</source>
        <translation>&amp;Verbinden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;New Bookmark…</source>
        <translation>&amp;Neues Lesezeichen…</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Uploading files to a Lumaro server</source>
        <translation>Dateien werden auf einen Lumaro-Server hochgeladen</translation>
    </message>
    <message>
        <location line="+73"/>
        <location line="+84"/>
        <source>Could not save changes</source>
        <translation>Die Änderungen konnten nicht gespeichert werden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Could not save changes while quitting. Quit anyway?</source>
        <comment>Quit without saves error question message</comment>
        <translation>Die Änderungen konnten beim Beenden nicht gespeichert werden. Trotzdem beenden?</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quitting now will lose any changes you have made since the last successful save</source>
        <comment>Quit without saves error question info</comment>
        <translation>Wenn Sie jetzt beenden, gehen alle Änderungen seit dem letzten erfolgreichen Speichern verloren</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quit anyway</source>
        <comment>Quit anyway button title</comment>
        <translation>Trotzdem beenden</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel</source>
        <comment>Cancel button title</comment>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ApplicationMenus</name>
    <message>
        <location filename="../src/app/ApplicationMenus.cpp" line="+17"/>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Import Log</source>
        <translation>&amp;Importprotokoll</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Bookmarks</source>
        <translation>&amp;Lesezeichen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Show the bookmarks window</source>
        <translation>Das Lesezeichenfenster zeigen</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
</context>
<context>
    <name>Asset</name>
    <message>
        <location filename="../src/store/Asset.cpp" line="+105"/>
        <source>The program ended while the file was being sent.</source>
        <translation>Das Programm wurde beendet, während die Datei gesendet wurde.</translation>
    </message>
</context>
<context>
    <name>AssetBody</name>
    <message>
        <location filename="../src/connection/AssetBody.cpp" line="+100"/>
        <source>Cannot read %1: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Cannot read %1: not a regular file</source>
        <translation>%1 kann nicht gelesen werden: keine normale Datei</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Cannot build the request body for %1</source>
        <translation>Der Anfragerumpf für %1 kann nicht erstellt werden</translation>
    </message>
</context>
<context>
    <name>AssetChooserDialog</name>
    <message>
        <location filename="../src/session/AssetChooserDialog.cpp" line="+8"/>
        <source>Choose Files to Upload</source>
        <translation>Dateien zum Hochladen wählen</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Choose</source>
        <translation>Wählen</translation>
    </message>
</context>
<context>
    <name>BookmarkForm</name>
    <message>
        <location filename="../src/bookmarks/BookmarkForm.cpp" line="+17"/>
        <source>Address:</source>
        <translation>Adresse:</translation>
    </message>
</context>
<context>
    <name>BookmarkPasswords</name>
    <message>
        <location filename="../src/store/BookmarkPasswords.cpp" line="+148"/>
        <source>The password could not be read from the desktop keyring. %1</source>
        <translation>Das Passwort konnte nicht aus dem Schlüsselbund der Arbeitsumgebung gelesen werden. %1</translation>
    </message>
</context>
<context>
    <name>BookmarksTableModel</name>
    <message>
        <location filename="../src/bookmarks/BookmarksTableModel.cpp" line="+92"/>
        <source>%1 (session window open)</source>
        <translation>%1 (Sitzungsfenster geöffnet)</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Server</source>
        <translation>Server</translation>
    </message>
</context>
<context>
    <name>CertificateSheet</name>
    <message>
        <location filename="../src/session/CertificateSheet.cpp" line="+27"/>
        <source>unknown</source>
        <extracomment>The start or end of a certificate&apos;s validity is not known</extracomment>
        <translation>unbekannt</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Server certificate</source>
        <translation>Serverzertifikat</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>&lt;b&gt;The certificate of %1 has changed since you trusted it.&lt;/b&gt;&lt;br&gt;If the server&apos;s owner did not tell you about a new certificate, someone may be listening in.</source>
        <translation>&lt;b&gt;Das Zertifikat von %1 hat sich geändert, seit Sie ihm vertraut haben.&lt;/b&gt;&lt;br&gt;Hat Ihnen der Betreiber des Servers kein neues Zertifikat angekündigt, hört womöglich jemand mit.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&lt;b&gt;The identity of %1 cannot be verified.&lt;/b&gt;&lt;br&gt;Trust its certificate only if you know that this is the server&apos;s own.</source>
        <translation>&lt;b&gt;Die Identität von %1 kann nicht überprüft werden.&lt;/b&gt;&lt;br&gt;Vertrauen Sie seinem Zertifikat nur, wenn Sie wissen, dass es das des Servers ist.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Subject:</source>
        <translation>Inhaber:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Issuer:</source>
        <translation>Aussteller:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Valid from:</source>
        <translation>Gültig ab:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Valid until:</source>
        <translation>Gültig bis:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>SHA-256:</source>
        <translation>SHA-256:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Trust for This Bookmark</source>
        <translation>Für dieses Lesezeichen vertrauen</translation>
    </message>
</context>
<context>
    <name>CertificateTrust</name>
    <message>
        <location filename="../src/connection/CertificateTrust.cpp" line="+67"/>
        <source>The certificate is self-signed: no authority this computer trusts vouches for it.</source>
        <translation>Das Zertifikat ist selbst signiert: Keine Stelle, der dieser Computer vertraut, bürgt dafür.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The certificate was issued by an authority this computer does not know.</source>
        <translation>Das Zertifikat wurde von einer Stelle ausgestellt, die dieser Computer nicht kennt.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The certificate has expired.</source>
        <translation>Das Zertifikat ist abgelaufen.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The certificate is not valid yet.</source>
        <translation>Das Zertifikat ist noch nicht gültig.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The certificate is for another name than the one this bookmark connects to.</source>
        <translation>Das Zertifikat gilt für einen anderen Namen als den, mit dem sich dieses Lesezeichen verbindet.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The certificate has been revoked.</source>
        <translation>Das Zertifikat wurde widerrufen.</translation>
    </message>
</context>
<context>
    <name>ColumnBrowser</name>
    <message>
        <location filename="../src/platform/widgets/ColumnBrowser.cpp" line="+246"/>
        <source>Column browser</source>
        <translation>Spaltenansicht</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1, level %2</source>
        <translation>%1, Ebene %2</translation>
    </message>
</context>
<context>
    <name>DuplicateCheck</name>
    <message>
        <location filename="../src/store/DuplicateCheck.cpp" line="+38"/>
        <source>No answer came.</source>
        <translation>Es kam keine Antwort.</translation>
    </message>
</context>
<context>
    <name>DuplicateSheet</name>
    <message>
        <location filename="../src/session/DuplicateSheet.cpp" line="+19"/>
        <source>Files Already Uploaded</source>
        <translation>Bereits hochgeladene Dateien</translation>
    </message>
    <message numerus="yes">
        <location line="+10"/>
        <source>%Ln files in the queue may be on this server already.</source>
        <translation>
            <numerusform>%Ln Datei in der Warteschlange ist womöglich schon auf diesem Server.</numerusform>
            <numerusform>%Ln Dateien in der Warteschlange sind womöglich schon auf diesem Server.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+1"/>
        <source>%Ln files in the queue were already uploaded to this server.</source>
        <translation>
            <numerusform>%Ln Datei in der Warteschlange wurde bereits auf diesen Server hochgeladen.</numerusform>
            <numerusform>%Ln Dateien in der Warteschlange wurden bereits auf diesen Server hochgeladen.</numerusform>
        </translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Skipped files leave the queue; nothing has been sent yet.</source>
        <translation>Übersprungene Dateien verlassen die Warteschlange; gesendet wurde noch nichts.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Files already uploaded</source>
        <translation>Bereits hochgeladene Dateien</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Upload All</source>
        <translation>Alle hochladen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Skip Duplicates</source>
        <translation>Doppelte überspringen</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>%1 — may have arrived at %2: %3</source>
        <extracomment>A file&apos;s name — the category, then why it may have arrived</extracomment>
        <translation>%1 — ist womöglich in %2 angekommen: %3</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 — already uploaded to %2 on %3</source>
        <extracomment>A file&apos;s name — the category and the date and time of the upload</extracomment>
        <translation>%1 — bereits am %3 nach %2 hochgeladen</translation>
    </message>
</context>
<context>
    <name>FolderTreeSheet</name>
    <message>
        <location filename="../src/session/FolderTreeSheet.cpp" line="+36"/>
        <source>Keep the folder structure</source>
        <translation>Ordnerstruktur beibehalten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Put every file into %1</source>
        <translation>Alle Dateien nach %1 legen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Add to Queue</source>
        <translation>Zur Warteschlange hinzufügen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Add Folders</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message numerus="yes">
        <location line="+9"/>
        <source>How should the %Ln added files be placed?</source>
        <translation>
            <numerusform>Wohin soll die hinzugefügte Datei?</numerusform>
            <numerusform>Wohin sollen die %Ln hinzugefügten Dateien?</numerusform>
        </translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Each added folder becomes a category inside %1, and each of its sub-folders a category inside that.</source>
        <translation>Jeder hinzugefügte Ordner wird eine Kategorie in %1 und jeder seiner Unterordner eine Kategorie darin.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Categories that will be used</source>
        <translation>Kategorien, die verwendet werden</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>%L1 of %L2</source>
        <extracomment>Categories looked up of those to look up</extracomment>
        <translation>%L1 von %L2</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Looking up…</source>
        <translation>Wird nachgeschlagen…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Upload target</source>
        <translation>Ziel des Hochladens</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+1"/>
        <source>Category</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <location line="-1"/>
        <location line="+1"/>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <location line="-1"/>
        <location line="+1"/>
        <source>State</source>
        <translation>Zustand</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Not queued: more than one category is named “%1” above</source>
        <translation>Nicht eingereiht: Weiter oben heißt mehr als eine Kategorie „%1“</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Not known: it was not looked up</source>
        <translation>Unbekannt: nicht nachgeschlagen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Exists</source>
        <extracomment>A category&apos;s state: it is on the server already</extracomment>
        <translation>Vorhanden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Will be created</source>
        <translation>Wird angelegt</translation>
    </message>
    <message numerus="yes">
        <location line="+8"/>
        <source>%Ln categories of this name (ids %1): not queued</source>
        <translation>
            <numerusform>%Ln Kategorie dieses Namens (IDs %1): nicht eingereiht</numerusform>
            <numerusform>%Ln Kategorien dieses Namens (IDs %1): nicht eingereiht</numerusform>
        </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Not known: %1</source>
        <translation>Unbekannt: %1</translation>
    </message>
    <message numerus="yes">
        <location line="+22"/>
        <source>All %Ln files go into %1; no category is created.</source>
        <translation>
            <numerusform>Die Datei kommt nach %1; es wird keine Kategorie angelegt.</numerusform>
            <numerusform>Alle %Ln Dateien kommen nach %1; es wird keine Kategorie angelegt.</numerusform>
        </translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Looking up the categories inside %1…</source>
        <translation>Die Kategorien in %1 werden nachgeschlagen…</translation>
    </message>
    <message>
        <location line="-1"/>
        <source>Looking up the categories inside %1… %2</source>
        <extracomment>%2 is how far the look-up is, as &quot;3 of 12&quot;</extracomment>
        <translation>Die Kategorien in %1 werden nachgeschlagen… %2</translation>
    </message>
    <message numerus="yes">
        <location line="+23"/>
        <source>%Ln categories will be created, %1 already.</source>
        <extracomment>%1 is how many categories exist, as &quot;3 exist&quot;</extracomment>
        <translation>
            <numerusform>%Ln Kategorie wird angelegt, %1 bereits.</numerusform>
            <numerusform>%Ln Kategorien werden angelegt, %1 bereits.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+1"/>
        <source>%Ln exist</source>
        <comment>categories</comment>
        <translation>
            <numerusform>%Ln existiert</numerusform>
            <numerusform>%Ln existieren</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+2"/>
        <source>%Ln categories could not be looked up (%1). The upload looks again before it creates anything there.</source>
        <translation>
            <numerusform>%Ln Kategorie konnte nicht nachgeschlagen werden (%1). Das Hochladen sieht noch einmal nach, bevor es dort etwas anlegt.</numerusform>
            <numerusform>%Ln Kategorien konnten nicht nachgeschlagen werden (%1). Das Hochladen sieht noch einmal nach, bevor es dort etwas anlegt.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+7"/>
        <source>%Ln files will not be queued: where they would go, more than one category has the same name.</source>
        <translation>
            <numerusform>%Ln Datei wird nicht eingereiht: Wo sie hinkäme, haben mehrere Kategorien denselben Namen.</numerusform>
            <numerusform>%Ln Dateien werden nicht eingereiht: Wo sie hinkämen, haben mehrere Kategorien denselben Namen.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+37"/>
        <source>%Ln files not queued: %1 has more than one category named “%2” (ids %3)</source>
        <translation>
            <numerusform>%Ln Datei nicht eingereiht: %1 hat mehr als eine Kategorie namens „%2“ (IDs %3)</numerusform>
            <numerusform>%Ln Dateien nicht eingereiht: %1 hat mehr als eine Kategorie namens „%2“ (IDs %3)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ImportLogModel</name>
    <message>
        <location filename="../src/session/ImportLogModel.cpp" line="+478"/>
        <source>%1 bytes</source>
        <translation>%1 Byte</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Category</source>
        <translation>Kategorie</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Uploaded</source>
        <extracomment>Column header: the date and time a file was uploaded</extracomment>
        <translation>Hochgeladen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
</context>
<context>
    <name>ImportQueue</name>
    <message>
        <location filename="../src/session/ImportQueue.cpp" line="+108"/>
        <source>The file could not be uploaded.</source>
        <translation>Die Datei konnte nicht hochgeladen werden.</translation>
    </message>
</context>
<context>
    <name>LMBookmarkAdvancedViewController</name>
    <message>
        <location filename="../src/bookmarks/LMBookmarkAdvancedViewController.cpp" line="+38"/>
        <source>Advanced connection settings</source>
        <translation>Erweiterte Verbindungseinstellungen</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Use a &amp;secure connection (HTTPS)</source>
        <translation>&amp;Sichere Verbindung verwenden (HTTPS)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>As&amp;k for the password when connecting</source>
        <translation>Beim Verbinden nach dem Passwort &amp;fragen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Nothing is kept: each session asks, and forgets the password when it ends</source>
        <translation>Nichts wird aufbewahrt: Jede Sitzung fragt und vergisst das Passwort, wenn sie endet</translation>
    </message>
    <message>
        <location line="+7"/>
        <source> MB/s</source>
        <translation> MB/s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No limit</source>
        <translation>Keine Grenze</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The most the files of a batch may take of the line</source>
        <translation>Wie viel von der Leitung die Dateien eines Durchgangs höchstens nutzen dürfen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Application &amp;path:</source>
        <translation>Anwendungs&amp;pfad:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>P&amp;ort:</source>
        <translation>P&amp;ort:</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>&amp;Limit upload speed:</source>
        <translation>Upload-&amp;Geschwindigkeit begrenzen:</translation>
    </message>
    <message>
        <location line="+7"/>
        <source> min</source>
        <translation> min</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Off</source>
        <extracomment>Failed uploads are not sent again</extracomment>
        <translation>Aus</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>How long a batch keeps sending again files that did not reach the server</source>
        <translation>Wie lange ein Durchgang Dateien, die den Server nicht erreicht haben, erneut sendet</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>&amp;Retry failed uploads for:</source>
        <translation>Fehlgeschlagene Uploads &amp;wiederholen für:</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>How many files of a batch are sent at once; more helps a server that takes its time over each</source>
        <translation>Wie viele Dateien eines Durchgangs gleichzeitig gesendet werden; mehr hilft einem Server, der sich für jede Zeit lässt</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Si&amp;multaneous uploads:</source>
        <translation>&amp;Gleichzeitige Uploads:</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Done</source>
        <translation>&amp;Fertig</translation>
    </message>
</context>
<context>
    <name>LMBookmarkEditViewController</name>
    <message>
        <location filename="../src/bookmarks/LMBookmarkEditViewController.cpp" line="+70"/>
        <source>New server bookmark</source>
        <translation>Neues Server-Lesezeichen</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Server bookmark</source>
        <translation>Server-Lesezeichen</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>A name for this server</source>
        <translation>Ein Name für diesen Server</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>lumaro.example.com</source>
        <translation>lumaro.example.com</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Host:</source>
        <translation>&amp;Host:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;User name:</source>
        <translation>&amp;Benutzername:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Password:</source>
        <translation>&amp;Passwort:</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>&amp;Advanced…</source>
        <translation>&amp;Erweitert…</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Application path, port and secure connection</source>
        <translation>Anwendungspfad, Port und sichere Verbindung</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>&amp;Delete</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>The pasted address was taken apart: host %1, port %2, secure connection.</source>
        <translation>Die eingefügte Adresse wurde zerlegt: Host %1, Port %2, sichere Verbindung.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The pasted address was taken apart: host %1, port %2, plain connection.</source>
        <translation>Die eingefügte Adresse wurde zerlegt: Host %1, Port %2, unverschlüsselte Verbindung.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The pasted address was taken apart: host %1, port %2, secure connection, application path “%3”.</source>
        <translation>Die eingefügte Adresse wurde zerlegt: Host %1, Port %2, sichere Verbindung, Anwendungspfad „%3“.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The pasted address was taken apart: host %1, port %2, plain connection, application path “%3”.</source>
        <translation>Die eingefügte Adresse wurde zerlegt: Host %1, Port %2, unverschlüsselte Verbindung, Anwendungspfad „%3“.</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>Could not be read from the keyring</source>
        <translation>Konnte nicht aus dem Schlüsselbund gelesen werden</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Asked for when connecting</source>
        <translation>Wird beim Verbinden erfragt</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Reading from the keyring…</source>
        <translation>Wird aus dem Schlüsselbund gelesen…</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>The bookmark could not be saved: the data store is not available</source>
        <translation>Das Lesezeichen konnte nicht gespeichert werden: Der Datenspeicher ist nicht verfügbar</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The data store could not be opened when LumaroImporter started. Close the application, mend the cause that was reported then, and start it again.</source>
        <translation>Der Datenspeicher konnte beim Start von LumaroImporter nicht geöffnet werden. Beenden Sie die Anwendung, beheben Sie die damals gemeldete Ursache und starten Sie sie erneut.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The bookmark could not be saved.</source>
        <translation>Das Lesezeichen konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>“%1” cannot be deleted while its session window is open.</source>
        <translation>„%1“ kann nicht gelöscht werden, solange sein Sitzungsfenster geöffnet ist.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Close the session window first, then delete the bookmark.</source>
        <translation>Schließen Sie zuerst das Sitzungsfenster und löschen Sie dann das Lesezeichen.</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>The deletion could not be saved yet.</source>
        <translation>Das Löschen konnte noch nicht gespeichert werden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1
The bookmark is gone from the list and will be removed from the saved data with the next successful save.</source>
        <translation>%1
Das Lesezeichen ist aus der Liste verschwunden und wird beim nächsten erfolgreichen Speichern aus den gespeicherten Daten entfernt.</translation>
    </message>
</context>
<context>
    <name>LMBookmarksViewController</name>
    <message>
        <location filename="../src/bookmarks/LMBookmarksViewController.cpp" line="+54"/>
        <source>Bookmarks</source>
        <translation>Lesezeichen</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>No server bookmarks yet.
Choose New to add the server you upload to.</source>
        <translation>Noch keine Server-Lesezeichen.
Wählen Sie „Neu“, um den Server hinzuzufügen, auf den Sie hochladen.</translation>
    </message>
    <message>
        <location line="+122"/>
        <source>“%1” cannot be deleted while its session window is open.</source>
        <translation>„%1“ kann nicht gelöscht werden, solange sein Sitzungsfenster geöffnet ist.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Close the session window first, then delete the bookmark.</source>
        <translation>Schließen Sie zuerst das Sitzungsfenster und löschen Sie dann das Lesezeichen.</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
</context>
<context>
    <name>LMBookmarksWindowController</name>
    <message>
        <location filename="../src/bookmarks/LMBookmarksWindowController.cpp" line="+24"/>
        <source>Connect</source>
        <extracomment>Tool bar buttons, acting on the selected bookmark (Connect, Edit) or adding one (New)</extracomment>
        <translation>Verbinden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Open a session window on the selected bookmark</source>
        <translation>Ein Sitzungsfenster für das gewählte Lesezeichen öffnen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Edit the selected bookmark</source>
        <translation>Das gewählte Lesezeichen bearbeiten</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Add a server bookmark</source>
        <translation>Ein Server-Lesezeichen hinzufügen</translation>
    </message>
    <message>
        <location line="+82"/>
        <source>%1 Meanwhile passwords stay in the application&apos;s own data file.</source>
        <translation>%1 Bis dahin bleiben Passwörter in der eigenen Datendatei der Anwendung.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The data file is readable by you only.</source>
        <translation>Nur Sie können die Datendatei lesen.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Server Bookmarks</source>
        <translation>Server-Lesezeichen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Bookmarks</source>
        <translation>Lesezeichen</translation>
    </message>
    <message>
        <location line="+107"/>
        <source>Local Testing</source>
        <extracomment>The name a new server bookmark starts with</extracomment>
        <translation>Lokaler Test</translation>
    </message>
</context>
<context>
    <name>LMImportLogViewController</name>
    <message>
        <location filename="../src/session/LMImportLogViewController.cpp" line="+117"/>
        <source>Export Import Log</source>
        <translation>Importprotokoll exportieren</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Import Log.csv</source>
        <translation>Importprotokoll.csv</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Exporting…</source>
        <translation>Wird exportiert…</translation>
    </message>
    <message numerus="yes">
        <location line="+12"/>
        <source>%1 rows exported to %2</source>
        <extracomment>The plural follows the number of rows; %1 is that number with thousands separators</extracomment>
        <translation>
            <numerusform>%1 Zeile nach %2 exportiert</numerusform>
            <numerusform>%1 Zeilen nach %2 exportiert</numerusform>
        </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The log could not be exported.</source>
        <translation>Das Protokoll konnte nicht exportiert werden.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1: %2</source>
        <extracomment>The file exported to: why it failed</extracomment>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>No uploads recorded</source>
        <translation>Keine Uploads verzeichnet</translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%1 files</source>
        <extracomment>The plural follows the number of files; %1 is that number with thousands separators</extracomment>
        <translation>
            <numerusform>%1 Datei</numerusform>
            <numerusform>%1 Dateien</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%1 of %2 files</source>
        <translation>
            <numerusform>%1 von %2 Datei</numerusform>
            <numerusform>%1 von %2 Dateien</numerusform>
        </translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Search file, category or server</source>
        <translation>Datei, Kategorie oder Server suchen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Search the import log</source>
        <translation>Im Importprotokoll suchen</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Uploaded files</source>
        <translation>Hochgeladene Dateien</translation>
    </message>
    <message>
        <location line="+29"/>
        <location line="+12"/>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <location line="-1"/>
        <source>Show in Folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Export…</source>
        <translation>Exportieren…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear Log</source>
        <translation>Protokoll leeren</translation>
    </message>
</context>
<context>
    <name>LMImportLogWindowController</name>
    <message>
        <location filename="../src/session/LMImportLogWindowController.cpp" line="+23"/>
        <source>Import Log</source>
        <translation>Importprotokoll</translation>
    </message>
</context>
<context>
    <name>LMNewCategoryViewController</name>
    <message>
        <location filename="../src/session/LMNewCategoryViewController.cpp" line="+33"/>
        <source>New Category</source>
        <translation>Neue Kategorie</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+2"/>
        <source>Name of the category</source>
        <translation>Name der Kategorie</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>The category is created at the top level.</source>
        <translation>Die Kategorie wird auf oberster Ebene angelegt.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The category is created inside %1.</source>
        <translation>Die Kategorie wird in %1 angelegt.</translation>
    </message>
</context>
<context>
    <name>LMServerConnection</name>
    <message>
        <location filename="../src/connection/LMServerConnection.cpp" line="+149"/>
        <source>The session has no bookmark.</source>
        <translation>Die Sitzung hat kein Lesezeichen.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The host “%1” cannot be used: %2</source>
        <translation>Der Host „%1“ kann nicht verwendet werden: %2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The server address cannot be used.</source>
        <translation>Die Serveradresse kann nicht verwendet werden.</translation>
    </message>
    <message>
        <location line="+214"/>
        <source>The certificate of %1 was not trusted.</source>
        <translation>Dem Zertifikat von %1 wurde nicht vertraut.</translation>
    </message>
    <message>
        <location line="+46"/>
        <location line="+80"/>
        <source>The server answered HTTP %1 %2</source>
        <translation>Der Server antwortete HTTP %1 %2</translation>
    </message>
    <message>
        <location line="-79"/>
        <location line="+403"/>
        <source>The server&apos;s answer was not understood.</source>
        <translation>Die Antwort des Servers wurde nicht verstanden.</translation>
    </message>
    <message>
        <location line="-320"/>
        <source>The server&apos;s answer is not text.</source>
        <translation>Die Antwort des Servers ist kein Text.</translation>
    </message>
    <message>
        <location line="+7"/>
        <location line="+10"/>
        <source>The server&apos;s answer is no Lumaro identity.</source>
        <translation>Die Antwort des Servers ist keine Lumaro-Kennung.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The server gives no interface version.</source>
        <translation>Der Server nennt keine Schnittstellenversion.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The server speaks interface version %1; this application speaks version %2.</source>
        <translation>Der Server spricht Schnittstellenversion %1; diese Anwendung spricht Version %2.</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>The server lists no “Folder” category type.</source>
        <translation>Der Server führt keinen Kategorietyp „Folder“.</translation>
    </message>
    <message>
        <location line="+260"/>
        <source>The server&apos;s answer is no list of categories.</source>
        <translation>Die Antwort des Servers ist keine Liste von Kategorien.</translation>
    </message>
    <message>
        <location filename="../src/connection/LMServerConnectionUpload.cpp" line="+83"/>
        <source>Could not start the upload: %1</source>
        <translation>Das Hochladen konnte nicht beginnen: %1</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Could not start the upload: the server gave no import status id (HTTP %1 %2)</source>
        <translation>Das Hochladen konnte nicht beginnen: Der Server lieferte keine Importstatus-ID (HTTP %1 %2)</translation>
    </message>
    <message>
        <location line="+15"/>
        <location line="+110"/>
        <source>No category is selected.</source>
        <translation>Keine Kategorie ist gewählt.</translation>
    </message>
    <message>
        <location line="+224"/>
        <source>Stopped before the server answered.</source>
        <translation>Angehalten, bevor der Server antwortete.</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+38"/>
        <source>Stopped after %1 failures in a row: %2</source>
        <translation>Nach %1 Fehlschlägen in Folge angehalten: %2</translation>
    </message>
    <message>
        <location line="-3"/>
        <location line="+60"/>
        <source>Gave up after %1 minutes without reaching the server: %2</source>
        <translation>Nach %1 Minuten ohne Verbindung zum Server aufgegeben: %2</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>Stopped: the upload of %1 could not be recorded: %2</source>
        <translation>Angehalten: Das Hochladen von %1 konnte nicht verzeichnet werden: %2</translation>
    </message>
</context>
<context>
    <name>LMSessionCategoryViewController</name>
    <message>
        <location filename="../src/session/LMSessionCategoryViewController.cpp" line="+80"/>
        <source>Choose the category that your files will be uploaded into.</source>
        <translation>Wählen Sie die Kategorie, in die Ihre Dateien hochgeladen werden.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Categories</source>
        <translation>Kategorien</translation>
    </message>
    <message>
        <location line="+16"/>
        <location line="+200"/>
        <source>getting categories</source>
        <translation>Kategorien werden geladen</translation>
    </message>
    <message>
        <location line="-196"/>
        <source>New Category…</source>
        <translation>Neue Kategorie…</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Create a category inside the selected one</source>
        <translation>Eine Kategorie in der gewählten anlegen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set Category</source>
        <translation>Kategorie festlegen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Upload into the selected category</source>
        <translation>In die gewählte Kategorie hochladen</translation>
    </message>
    <message>
        <location line="+121"/>
        <source>Could not load the categories: %1</source>
        <translation>Die Kategorien konnten nicht geladen werden: %1</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Could not load the sub-categories of %1: %2. Select it again to retry.</source>
        <translation>Die Unterkategorien von %1 konnten nicht geladen werden: %2. Wählen Sie sie erneut, um es noch einmal zu versuchen.</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>No category selected</source>
        <translation>Keine Kategorie gewählt</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Selected: %1</source>
        <translation>Gewählt: %1</translation>
    </message>
    <message>
        <location line="+82"/>
        <source>The new category could not be created.</source>
        <translation>Die neue Kategorie konnte nicht angelegt werden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The server did not accept the new category.</source>
        <translation>Der Server hat die neue Kategorie nicht angenommen.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The server answered: %1</source>
        <translation>Der Server antwortete: %1</translation>
    </message>
</context>
<context>
    <name>LMSessionInitialViewController</name>
    <message>
        <location filename="../src/session/LMSessionInitialViewController.cpp" line="+25"/>
        <source>This doesn&apos;t seem to be a Lumaro server. Please check its address.</source>
        <translation>Dies scheint kein Lumaro-Server zu sein. Bitte prüfen Sie seine Adresse.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Cannot connect to this Lumaro server due to a version mismatch</source>
        <translation>Keine Verbindung zu diesem Lumaro-Server möglich, da die Versionen nicht zusammenpassen</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Could not connect to server</source>
        <translation>Keine Verbindung zum Server</translation>
    </message>
    <message>
        <location line="+56"/>
        <source>Connecting</source>
        <translation>Verbindung wird aufgebaut</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>Connecting to %1</source>
        <translation>Verbindung zu %1 wird aufgebaut</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>Reading the password…</source>
        <translation>Passwort wird gelesen…</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Waiting for the password…</source>
        <translation>Warten auf das Passwort…</translation>
    </message>
    <message>
        <location line="+26"/>
        <location line="+17"/>
        <source>Checking the server…</source>
        <translation>Server wird geprüft…</translation>
    </message>
    <message>
        <location line="-14"/>
        <source>Looking for the Lumaro application…</source>
        <translation>Lumaro-Anwendung wird gesucht…</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>Loading the category types…</source>
        <translation>Kategorietypen werden geladen…</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Finding your last category…</source>
        <translation>Ihre letzte Kategorie wird gesucht…</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>Cannot open a session on %1</source>
        <translation>Auf %1 kann keine Sitzung geöffnet werden</translation>
    </message>
</context>
<context>
    <name>LMSessionUploadViewController</name>
    <message>
        <location filename="../src/session/LMSessionUploadViewController.cpp" line="+182"/>
        <source>Files cannot be queued: the local store is not available.</source>
        <translation>Dateien können nicht eingereiht werden: Der lokale Speicher ist nicht verfügbar.</translation>
    </message>
    <message>
        <location line="+76"/>
        <location line="+101"/>
        <source>The queue could not be saved: %1</source>
        <translation>Die Warteschlange konnte nicht gespeichert werden: %1</translation>
    </message>
    <message numerus="yes">
        <location line="-90"/>
        <source>%Ln files were in the queue already.</source>
        <translation>
            <numerusform>%Ln Datei war schon in der Warteschlange.</numerusform>
            <numerusform>%Ln Dateien waren schon in der Warteschlange.</numerusform>
        </translation>
    </message>
    <message>
        <location line="+131"/>
        <source>Looking for files uploaded before… %1%</source>
        <translation>Suche nach früher hochgeladenen Dateien… %1 %</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Looking for files uploaded before…</source>
        <translation>Suche nach früher hochgeladenen Dateien…</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+14"/>
        <location line="+368"/>
        <source>Start Upload</source>
        <translation>Hochladen starten</translation>
    </message>
    <message>
        <location line="-342"/>
        <source>Every file was uploaded before; nothing to send.</source>
        <translation>Jede Datei wurde schon früher hochgeladen; nichts zu senden.</translation>
    </message>
    <message>
        <location line="+149"/>
        <source>Creating categories… %L1 of %L2</source>
        <translation>Kategorien werden angelegt… %L1 von %L2</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%L1 of %L2</source>
        <extracomment>Files done of the batch&apos;s files</extracomment>
        <translation>%L1 von %L2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 · %L2 in flight</source>
        <extracomment>%1 is &quot;5 of 20&quot;; %L2 files are being sent at the moment</extracomment>
        <translation>%1 · %L2 unterwegs</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>uploading asset %L1 of %L2</source>
        <translation>Datei %L1 von %L2 wird hochgeladen</translation>
    </message>
    <message numerus="yes">
        <location line="+39"/>
        <source>%Ln files could not be uploaded</source>
        <translation>
            <numerusform>%Ln Datei konnte nicht hochgeladen werden</numerusform>
            <numerusform>%Ln Dateien konnten nicht hochgeladen werden</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+2"/>
        <source>%Ln files may have arrived without an answer; they are not sent again without asking</source>
        <translation>
            <numerusform>%Ln Datei ist womöglich ohne Antwort angekommen; sie wird nicht ohne Nachfrage erneut gesendet</numerusform>
            <numerusform>%Ln Dateien sind womöglich ohne Antwort angekommen; sie werden nicht ohne Nachfrage erneut gesendet</numerusform>
        </translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The upload stopped</source>
        <translation>Das Hochladen wurde angehalten</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Upload to %1 stopped</source>
        <translation>Hochladen nach %1 angehalten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%L1 uploaded; %2</source>
        <translation>%L1 hochgeladen; %2</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%L1 uploaded, %L2 failed</source>
        <translation>%L1 hochgeladen, %L2 fehlgeschlagen</translation>
    </message>
    <message numerus="yes">
        <location line="+1"/>
        <source>%Ln files uploaded to %1</source>
        <translation>
            <numerusform>%Ln Datei nach %1 hochgeladen</numerusform>
            <numerusform>%Ln Dateien nach %1 hochgeladen</numerusform>
        </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Upload to %1 finished</source>
        <translation>Hochladen nach %1 abgeschlossen</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Goes to %1</source>
        <translation>Kommt nach %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Uploaded; not yet recorded in the import log</source>
        <translation>Hochgeladen; noch nicht im Importprotokoll verzeichnet</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>May have arrived: %1</source>
        <translation>Womöglich angekommen: %1</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Sending</source>
        <extracomment>A queued file&apos;s state: it is being sent now</extracomment>
        <translation>Wird gesendet</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Upload failed: %1</source>
        <translation>Hochladen fehlgeschlagen: %1</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>May have arrived (not sent again without asking): %1</source>
        <translation>Womöglich angekommen (wird nicht ohne Nachfrage erneut gesendet): %1</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>Stop Upload</source>
        <translation>Hochladen stoppen</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Waiting for the network to come back…</source>
        <translation>Warten, bis das Netzwerk wieder da ist…</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Paused after failures in a row; checking the server again in %1. %2</source>
        <translation>Nach mehreren Fehlschlägen in Folge pausiert; der Server wird in %1 erneut geprüft. %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Sending %1 again in %2 (try %3: %4)</source>
        <translation>%1 wird in %2 erneut gesendet (Versuch %3: %4)</translation>
    </message>
</context>
<context>
    <name>NotAddedReport</name>
    <message>
        <location filename="../src/session/NotAddedReport.cpp" line="+23"/>
        <source>%1 (%2)</source>
        <extracomment>A file&apos;s name, then why it was not added</extracomment>
        <translation>%1 (%2)</translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%n items were not added: %1.</source>
        <extracomment>%1 names the first items, each with why, as &quot;name (reason)&quot;</extracomment>
        <translation>
            <numerusform>%n Element wurde nicht hinzugefügt: %1.</numerusform>
            <numerusform>%n Elemente wurden nicht hinzugefügt: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+6"/>
        <source>%n items were not added: %1; and %2 more.</source>
        <extracomment>%1 is the list of the first items; %n more are listed under the button</extracomment>
        <translation>
            <numerusform>%n Element wurde nicht hinzugefügt: %1; und %2 mehr.</numerusform>
            <numerusform>%n Elemente wurden nicht hinzugefügt: %1; und %2 mehr.</numerusform>
        </translation>
    </message>
    <message>
        <location line="+11"/>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message numerus="yes">
        <location line="+9"/>
        <source>…and %n more, listed under Show Details.</source>
        <translation>
            <numerusform>…und %n weiteres, aufgeführt unter „Details einblenden“.</numerusform>
            <numerusform>…und %n weitere, aufgeführt unter „Details einblenden“.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+4"/>
        <source>%n items were not added</source>
        <translation>
            <numerusform>%n Element wurde nicht hinzugefügt</numerusform>
            <numerusform>%n Elemente wurden nicht hinzugefügt</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PasswordSheet</name>
    <message>
        <location filename="../src/session/PasswordSheet.cpp" line="+14"/>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&lt;b&gt;Password for %1 on %2&lt;/b&gt;</source>
        <translation>&lt;b&gt;Passwort für %1 auf %2&lt;/b&gt;</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>&amp;Password:</source>
        <translation>&amp;Passwort:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Used for this session only; it is not kept.</source>
        <translation>Gilt nur für diese Sitzung; es wird nicht aufbewahrt.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Connect</source>
        <translation>&amp;Verbinden</translation>
    </message>
</context>
<context>
    <name>PersistentStore</name>
    <message>
        <location filename="../src/store/PersistentStore.cpp" line="+19"/>
        <source>Failed to initialize the application&apos;s saved data</source>
        <translation>Die gespeicherten Daten der Anwendung konnten nicht eingerichtet werden</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>There was an error creating or loading the application&apos;s saved data.</source>
        <translation>Beim Anlegen oder Laden der gespeicherten Daten der Anwendung ist ein Fehler aufgetreten.</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Expected a folder to store application data, found a file %1.</source>
        <translation>Für die Anwendungsdaten wurde ein Ordner erwartet, gefunden wurde eine Datei %1.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Could not create the folder %1: %2</source>
        <translation>Der Ordner %1 konnte nicht angelegt werden: %2</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>The data folder %1 cannot be written: %2</source>
        <translation>In den Datenordner %1 kann nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>ProxyRule</name>
    <message>
        <location filename="../src/connection/ProxyRule.cpp" line="+158"/>
        <source>The proxy “%1” is of a kind this application cannot use (only http://, socks5:// and socks5h://).</source>
        <translation>Der Proxy „%1“ ist von einer Art, die diese Anwendung nicht verwenden kann (nur http://, socks5:// und socks5h://).</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>The proxy “%1” is no address.</source>
        <translation>Der Proxy „%1“ ist keine Adresse.</translation>
    </message>
</context>
<context>
    <name>QMessageBox</name>
    <message>
        <location filename="../src/platform/widgets/Alert.cpp" line="+43"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>SecretStore</name>
    <message>
        <location filename="../src/store/SecretStore.cpp" line="+135"/>
        <source>then start the program again.</source>
        <translation>dann starten Sie das Programm erneut.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unlocking the desktop keyring was declined. Unlock it when asked, %1</source>
        <translation>Das Entsperren des Schlüsselbunds wurde abgelehnt. Entsperren Sie ihn, wenn Sie gefragt werden, %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>There is no desktop session bus, so no keyring can be reached. Start the program from a desktop session.</source>
        <translation>Es gibt keinen Sitzungsbus der Arbeitsumgebung, daher ist kein Schlüsselbund erreichbar. Starten Sie das Programm aus einer Desktop-Sitzung.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The desktop keyring refused: %1.</source>
        <translation>Der Schlüsselbund lehnte ab: %1.</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>it gave no reason</source>
        <translation>er nannte keinen Grund</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>No keyring service is running. Install or start one (GNOME Keyring, or KWallet with its Secret Service), %1</source>
        <translation>Es läuft kein Schlüsselbunddienst. Installieren oder starten Sie einen (GNOME Keyring oder KWallet mit seinem Secret Service), %1</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>The desktop keyring has no default collection. Create a keyring and make it the default (in Passwords and Keys, for example), %1</source>
        <translation>Der Schlüsselbund hat keine Standardsammlung. Legen Sie einen Schlüsselbund an und machen Sie ihn zum Standard (zum Beispiel in „Passwörter und Verschlüsselung“), %1</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>The default keyring is locked. Unlock it (in Passwords and Keys, for example), %1</source>
        <translation>Der Standardschlüsselbund ist gesperrt. Entsperren Sie ihn (zum Beispiel in „Passwörter und Verschlüsselung“), %1</translation>
    </message>
</context>
<context>
    <name>ServerAddress</name>
    <message>
        <location filename="../src/connection/ServerAddress.cpp" line="+56"/>
        <source>Enter the server&apos;s host name or address.</source>
        <translation>Geben Sie den Hostnamen oder die Adresse des Servers ein.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>An IPv6 address goes in brackets: [%1]</source>
        <translation>Eine IPv6-Adresse steht in eckigen Klammern: [%1]</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The host is only the server&apos;s name or address, without a scheme or port; the port belongs in the advanced settings. A whole address pasted here is taken apart.</source>
        <translation>Der Host ist nur der Name oder die Adresse des Servers, ohne Schema oder Port; der Port gehört in die erweiterten Einstellungen. Eine hier eingefügte vollständige Adresse wird zerlegt.</translation>
    </message>
</context>
<context>
    <name>StoreFile</name>
    <message>
        <location filename="../src/store/StoreFile.cpp" line="+155"/>
        <source>The data store is in use by another program: %1</source>
        <translation>Der Datenspeicher wird von einem anderen Programm verwendet: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The data store %1 cannot be written: %2</source>
        <translation>In den Datenspeicher %1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <location line="+136"/>
        <source>The store file was written by a newer version (schema %1)</source>
        <translation>Die Datenspeicherdatei wurde von einer neueren Version geschrieben (Schema %1)</translation>
    </message>
</context>
<context>
    <name>TransportFailure</name>
    <message>
        <location filename="../src/connection/TransportFailure.cpp" line="+35"/>
        <source>Cannot reach %1: connection refused</source>
        <translation>%1 ist nicht erreichbar: Verbindung abgelehnt</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cannot reach %1: host not found</source>
        <translation>%1 ist nicht erreichbar: Host nicht gefunden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The certificate of %1 is not trusted: %2</source>
        <translation>Dem Zertifikat von %1 wird nicht vertraut: %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Cannot reach %1: no secure connection could be made (%2)</source>
        <translation>%1 ist nicht erreichbar: Es kam keine sichere Verbindung zustande (%2)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The proxy %1 refused the connection</source>
        <translation>Der Proxy %1 hat die Verbindung abgelehnt</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cannot reach the proxy %1: host not found</source>
        <translation>Der Proxy %1 ist nicht erreichbar: Host nicht gefunden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The proxy %1 closed the connection</source>
        <translation>Der Proxy %1 hat die Verbindung geschlossen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The proxy %1 did not answer in time</source>
        <translation>Der Proxy %1 hat nicht rechtzeitig geantwortet</translation>
    </message>
    <message>
        <location line="+5"/>
        <location line="+6"/>
        <source>The connection closed before the server answered.</source>
        <translation>Die Verbindung wurde geschlossen, bevor der Server antwortete.</translation>
    </message>
    <message>
        <location line="-2"/>
        <source>The connection closed before the server&apos;s answer was complete.</source>
        <translation>Die Verbindung wurde geschlossen, bevor die Antwort des Servers vollständig war.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Cannot reach %1: no connection within %2 seconds</source>
        <translation>%1 ist nicht erreichbar: keine Verbindung innerhalb von %2 Sekunden</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cannot reach the proxy %1: no connection within %2 seconds</source>
        <translation>Der Proxy %1 ist nicht erreichbar: keine Verbindung innerhalb von %2 Sekunden</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Nothing could be sent to the server for %1 seconds</source>
        <translation>Seit %1 Sekunden konnte nichts an den Server gesendet werden</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The server did not answer within %1 seconds</source>
        <translation>Der Server hat nicht innerhalb von %1 Sekunden geantwortet</translation>
    </message>
</context>
<context>
    <name>UploadPreviewPane</name>
    <message>
        <location filename="../src/session/UploadPreviewPane.cpp" line="+50"/>
        <source>Loading preview…</source>
        <translation>Vorschau wird geladen…</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>No file selected</source>
        <translation>Keine Datei gewählt</translation>
    </message>
</context>
<context>
    <name>UploadProgressPanel</name>
    <message>
        <location filename="../src/session/UploadProgressPanel.cpp" line="+34"/>
        <source>All files</source>
        <translation>Alle Dateien</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Progress of this file</source>
        <translation>Fortschritt dieser Datei</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Progress of all files</source>
        <translation>Fortschritt aller Dateien</translation>
    </message>
    <message>
        <location line="+55"/>
        <source>Starting…</source>
        <translation>Wird gestartet…</translation>
    </message>
    <message>
        <location line="+136"/>
        <source>%L1 s</source>
        <extracomment>Seconds</extracomment>
        <translation>%L1 s</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%L1 min %L2 s</source>
        <extracomment>Minutes and seconds</extracomment>
        <translation>%L1 min %L2 s</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%L1 h %L2 min</source>
        <extracomment>Hours and minutes</extracomment>
        <translation>%L1 h %L2 min</translation>
    </message>
    <message>
        <location line="+13"/>
        <location line="+8"/>
        <source>%1 of %2</source>
        <extracomment>Bytes sent of the file&apos;s size, as &quot;1.2 MB of 3.4 MB&quot;</extracomment>
        <translation>%1 von %2</translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%L1 of %Ln files</source>
        <translation>
            <numerusform>%L1 von %Ln Datei</numerusform>
            <numerusform>%L1 von %Ln Dateien</numerusform>
        </translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Measuring speed…</source>
        <translation>Geschwindigkeit wird gemessen…</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Stopping after this file…</source>
        <translation>Anhalten nach dieser Datei…</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Waiting for the server… · about %1 left</source>
        <translation>Warten auf den Server… · noch etwa %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Waiting for the server…</source>
        <translation>Warten auf den Server…</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>No data is moving…</source>
        <translation>Es fließen keine Daten…</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1/s · about %2 left</source>
        <extracomment>A speed, as &quot;1.2 MB/s&quot;, and a duration</extracomment>
        <translation>%1/s · noch etwa %2</translation>
    </message>
</context>
<context>
    <name>UploadViewWidget</name>
    <message>
        <location filename="../src/session/UploadViewWidget.cpp" line="+32"/>
        <source>Choose…</source>
        <translation>Wählen…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Start Upload</source>
        <translation>Hochladen starten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Back to Categories</source>
        <translation>Zurück zu den Kategorien</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Retry Now</source>
        <translation>Jetzt erneut versuchen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Show List…</source>
        <translation>Liste zeigen…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Dismiss</source>
        <translation>Ausblenden</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Stop Upload</source>
        <translation>Hochladen stoppen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drop files or folders here to queue them.</source>
        <translation>Dateien oder Ordner hier ablegen, um sie einzureihen.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>No category selected</source>
        <translation>Keine Kategorie gewählt</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Why the upload failed</source>
        <translation>Warum das Hochladen fehlschlug</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Lists every item that was not added, with why</source>
        <translation>Listet jedes nicht hinzugefügte Element mit dem Grund auf</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Dismiss the list of items not added</source>
        <translation>Die Liste der nicht hinzugefügten Elemente ausblenden</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Files to upload</source>
        <translation>Hochzuladende Dateien</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Upload status</source>
        <translation>Status des Hochladens</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Upload into:</source>
        <translation>Hochladen nach:</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>File:</source>
        <translation>Datei:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Failed:</source>
        <translation>Fehlgeschlagen:</translation>
    </message>
</context>
</TS>
