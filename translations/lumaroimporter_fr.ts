<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>AddedFiles</name>
    <message>
        <location filename="../src/platform/AddedFiles.cpp" line="+29"/>
        <source>cannot be read: %1</source>
        <translation>ne peut pas être lu&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>its name is not valid UTF-8, so it cannot be opened by that name here; rename it to upload it</source>
        <translation>son nom n&apos;est pas de l&apos;UTF-8 valide, il ne peut donc pas être ouvert sous ce nom ici&#xa0;; renommez-le pour le téléverser</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>is a named pipe</source>
        <translation>est un tube nommé</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>is a socket</source>
        <translation>est un socket</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>is a device</source>
        <translation>est un périphérique</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>is not a regular file</source>
        <translation>n&apos;est pas un fichier ordinaire</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>does not exist by that name here; if its name is not valid UTF-8, rename it to upload it</source>
        <translation>n&apos;existe pas sous ce nom ici&#xa0;; si son nom n&apos;est pas de l&apos;UTF-8 valide, renommez-le pour le téléverser</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>does not exist</source>
        <translation>n&apos;existe pas</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <location filename="../src/app/AppDelegate.cpp" line="+35"/>
        <source>&amp;Connect</source>
        <translation>&amp;Connecter</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;New Bookmark…</source>
        <translation>&amp;Nouveau signet…</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Uploading files to a Lumaro server</source>
        <translation>Téléversement de fichiers vers un serveur Lumaro</translation>
    </message>
    <message>
        <location line="+73"/>
        <location line="+84"/>
        <source>Could not save changes</source>
        <translation>Les modifications n&apos;ont pas pu être enregistrées</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Could not save changes while quitting. Quit anyway?</source>
        <comment>Quit without saves error question message</comment>
        <translation>Les modifications n&apos;ont pas pu être enregistrées en quittant. Quitter quand même&#xa0;?</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quitting now will lose any changes you have made since the last successful save</source>
        <comment>Quit without saves error question info</comment>
        <translation>Quitter maintenant fera perdre toutes les modifications faites depuis le dernier enregistrement réussi</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quit anyway</source>
        <comment>Quit anyway button title</comment>
        <translation>Quitter quand même</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel</source>
        <comment>Cancel button title</comment>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>ApplicationMenus</name>
    <message>
        <location filename="../src/app/ApplicationMenus.cpp" line="+17"/>
        <source>&amp;Save</source>
        <translation>&amp;Enregistrer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Import Log</source>
        <translation>Journal d&apos;&amp;import</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Bookmarks</source>
        <translation>&amp;Signets</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>&amp;Undo</source>
        <translation>&amp;Annuler</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Redo</source>
        <translation>&amp;Rétablir</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Show the bookmarks window</source>
        <translation>Afficher la fenêtre des signets</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>&amp;File</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>&amp;Edit</source>
        <translation>É&amp;dition</translation>
    </message>
</context>
<context>
    <name>Asset</name>
    <message>
        <location filename="../src/store/Asset.cpp" line="+105"/>
        <source>The program ended while the file was being sent.</source>
        <translation>Le programme s&apos;est arrêté pendant l&apos;envoi du fichier.</translation>
    </message>
</context>
<context>
    <name>AssetBody</name>
    <message>
        <location filename="../src/connection/AssetBody.cpp" line="+100"/>
        <source>Cannot read %1: %2</source>
        <translation>Impossible de lire %1&#xa0;: %2</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Cannot read %1: not a regular file</source>
        <translation>Impossible de lire %1&#xa0;: ce n&apos;est pas un fichier ordinaire</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Cannot build the request body for %1</source>
        <translation>Impossible de construire le corps de la requête pour %1</translation>
    </message>
</context>
<context>
    <name>AssetChooserDialog</name>
    <message>
        <location filename="../src/session/AssetChooserDialog.cpp" line="+8"/>
        <source>Choose Files to Upload</source>
        <translation>Choisir les fichiers à téléverser</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>All files (*)</source>
        <translation>Tous les fichiers (*)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Choose</source>
        <translation>Choisir</translation>
    </message>
</context>
<context>
    <name>BookmarkForm</name>
    <message>
        <location filename="../src/bookmarks/BookmarkForm.cpp" line="+17"/>
        <source>Address:</source>
        <translation>Adresse&#xa0;:</translation>
    </message>
</context>
<context>
    <name>BookmarkPasswords</name>
    <message>
        <location filename="../src/store/BookmarkPasswords.cpp" line="+148"/>
        <source>The password could not be read from the desktop keyring. %1</source>
        <translation>Le mot de passe n&apos;a pas pu être lu dans le trousseau de clés du bureau. %1</translation>
    </message>
</context>
<context>
    <name>BookmarksTableModel</name>
    <message>
        <location filename="../src/bookmarks/BookmarksTableModel.cpp" line="+92"/>
        <source>%1 (session window open)</source>
        <translation>%1 (fenêtre de session ouverte)</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Server</source>
        <translation>Serveur</translation>
    </message>
</context>
<context>
    <name>CertificateSheet</name>
    <message>
        <location filename="../src/session/CertificateSheet.cpp" line="+27"/>
        <source>unknown</source>
        <extracomment>The start or end of a certificate&apos;s validity is not known</extracomment>
        <translation>inconnue</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Server certificate</source>
        <translation>Certificat du serveur</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>&lt;b&gt;The certificate of %1 has changed since you trusted it.&lt;/b&gt;&lt;br&gt;If the server&apos;s owner did not tell you about a new certificate, someone may be listening in.</source>
        <translation>&lt;b&gt;Le certificat de %1 a changé depuis que vous lui avez fait confiance.&lt;/b&gt;&lt;br&gt;Si le propriétaire du serveur ne vous a pas annoncé de nouveau certificat, quelqu&apos;un est peut-être à l&apos;écoute.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&lt;b&gt;The identity of %1 cannot be verified.&lt;/b&gt;&lt;br&gt;Trust its certificate only if you know that this is the server&apos;s own.</source>
        <translation>&lt;b&gt;L&apos;identité de %1 ne peut pas être vérifiée.&lt;/b&gt;&lt;br&gt;Ne faites confiance à son certificat que si vous savez qu&apos;il s&apos;agit bien de celui du serveur.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Subject:</source>
        <translation>Sujet&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Issuer:</source>
        <translation>Émetteur&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Valid from:</source>
        <translation>Valide à partir du&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Valid until:</source>
        <translation>Valide jusqu&apos;au&#xa0;:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>SHA-256:</source>
        <translation>SHA-256&#xa0;:</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Trust for This Bookmark</source>
        <translation>Faire confiance pour ce signet</translation>
    </message>
</context>
<context>
    <name>CertificateTrust</name>
    <message>
        <location filename="../src/connection/CertificateTrust.cpp" line="+67"/>
        <source>The certificate is self-signed: no authority this computer trusts vouches for it.</source>
        <translation>Le certificat est auto-signé&#xa0;: aucune autorité à laquelle cet ordinateur fait confiance ne s&apos;en porte garante.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The certificate was issued by an authority this computer does not know.</source>
        <translation>Le certificat a été émis par une autorité que cet ordinateur ne connaît pas.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The certificate has expired.</source>
        <translation>Le certificat a expiré.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The certificate is not valid yet.</source>
        <translation>Le certificat n&apos;est pas encore valide.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The certificate is for another name than the one this bookmark connects to.</source>
        <translation>Le certificat est établi pour un autre nom que celui auquel ce signet se connecte.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The certificate has been revoked.</source>
        <translation>Le certificat a été révoqué.</translation>
    </message>
</context>
<context>
    <name>ColumnBrowser</name>
    <message>
        <location filename="../src/platform/widgets/ColumnBrowser.cpp" line="+246"/>
        <source>Column browser</source>
        <translation>Navigateur en colonnes</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1, level %2</source>
        <translation>%1, niveau %2</translation>
    </message>
</context>
<context>
    <name>DuplicateCheck</name>
    <message>
        <location filename="../src/store/DuplicateCheck.cpp" line="+38"/>
        <source>No answer came.</source>
        <translation>Aucune réponse n&apos;est venue.</translation>
    </message>
</context>
<context>
    <name>DuplicateSheet</name>
    <message>
        <location filename="../src/session/DuplicateSheet.cpp" line="+19"/>
        <source>Files Already Uploaded</source>
        <translation>Fichiers déjà téléversés</translation>
    </message>
    <message numerus="yes">
        <location line="+10"/>
        <source>%Ln files in the queue may be on this server already.</source>
        <translation>
            <numerusform>%Ln fichier de la file d&apos;attente se trouve peut-être déjà sur ce serveur.</numerusform>
            <numerusform>%Ln fichiers de la file d&apos;attente se trouvent peut-être déjà sur ce serveur.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+1"/>
        <source>%Ln files in the queue were already uploaded to this server.</source>
        <translation>
            <numerusform>%Ln fichier de la file d&apos;attente a déjà été téléversé sur ce serveur.</numerusform>
            <numerusform>%Ln fichiers de la file d&apos;attente ont déjà été téléversés sur ce serveur.</numerusform>
        </translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Skipped files leave the queue; nothing has been sent yet.</source>
        <translation>Les fichiers ignorés quittent la file d&apos;attente&#xa0;; rien n&apos;a encore été envoyé.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Files already uploaded</source>
        <translation>Fichiers déjà téléversés</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Upload All</source>
        <translation>Tout téléverser</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Skip Duplicates</source>
        <translation>Ignorer les doublons</translation>
    </message>
    <message>
        <location line="+44"/>
        <source>%1 — may have arrived at %2: %3</source>
        <extracomment>A file&apos;s name — the category, then why it may have arrived</extracomment>
        <translation>%1 — est peut-être arrivé dans %2&#xa0;: %3</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 — already uploaded to %2 on %3</source>
        <extracomment>A file&apos;s name — the category and the date and time of the upload</extracomment>
        <translation>%1 — déjà téléversé dans %2 le %3</translation>
    </message>
</context>
<context>
    <name>FolderTreeSheet</name>
    <message>
        <location filename="../src/session/FolderTreeSheet.cpp" line="+36"/>
        <source>Keep the folder structure</source>
        <translation>Conserver la structure des dossiers</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Put every file into %1</source>
        <translation>Mettre tous les fichiers dans %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Add to Queue</source>
        <translation>Ajouter à la file d&apos;attente</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Add Folders</source>
        <translation>Ajouter des dossiers</translation>
    </message>
    <message numerus="yes">
        <location line="+9"/>
        <source>How should the %Ln added files be placed?</source>
        <translation>
            <numerusform>Où placer le fichier ajouté&#xa0;?</numerusform>
            <numerusform>Où placer les %Ln fichiers ajoutés&#xa0;?</numerusform>
        </translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Each added folder becomes a category inside %1, and each of its sub-folders a category inside that.</source>
        <translation>Chaque dossier ajouté devient une catégorie dans %1, et chacun de ses sous-dossiers une catégorie dans celle-ci.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Categories that will be used</source>
        <translation>Catégories qui seront utilisées</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>%L1 of %L2</source>
        <extracomment>Categories looked up of those to look up</extracomment>
        <translation>%L1 sur %L2</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Looking up…</source>
        <translation>Recherche…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Upload target</source>
        <translation>Destination du téléversement</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+1"/>
        <source>Category</source>
        <translation>Catégorie</translation>
    </message>
    <message>
        <location line="-1"/>
        <location line="+1"/>
        <source>Files</source>
        <translation>Fichiers</translation>
    </message>
    <message>
        <location line="-1"/>
        <location line="+1"/>
        <source>State</source>
        <translation>État</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Not queued: more than one category is named “%1” above</source>
        <translation>Pas mis en file d&apos;attente&#xa0;: plus d&apos;une catégorie s&apos;appelle «&#xa0;%1&#xa0;» plus haut</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Not known: it was not looked up</source>
        <translation>Inconnu&#xa0;: pas recherché</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Exists</source>
        <extracomment>A category&apos;s state: it is on the server already</extracomment>
        <translation>Existe</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Will be created</source>
        <translation>Sera créée</translation>
    </message>
    <message numerus="yes">
        <location line="+8"/>
        <source>%Ln categories of this name (ids %1): not queued</source>
        <translation>
            <numerusform>%Ln catégorie de ce nom (identifiants %1)&#xa0;: pas mis en file d&apos;attente</numerusform>
            <numerusform>%Ln catégories de ce nom (identifiants %1)&#xa0;: pas mis en file d&apos;attente</numerusform>
        </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Not known: %1</source>
        <translation>Inconnu&#xa0;: %1</translation>
    </message>
    <message numerus="yes">
        <location line="+22"/>
        <source>All %Ln files go into %1; no category is created.</source>
        <translation>
            <numerusform>Le fichier va dans %1&#xa0;; aucune catégorie n&apos;est créée.</numerusform>
            <numerusform>Les %Ln fichiers vont tous dans %1&#xa0;; aucune catégorie n&apos;est créée.</numerusform>
        </translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Looking up the categories inside %1…</source>
        <translation>Recherche des catégories dans %1…</translation>
    </message>
    <message>
        <location line="-1"/>
        <source>Looking up the categories inside %1… %2</source>
        <extracomment>%2 is how far the look-up is, as &quot;3 of 12&quot;</extracomment>
        <translation>Recherche des catégories dans %1… %2</translation>
    </message>
    <message numerus="yes">
        <location line="+23"/>
        <source>%Ln categories will be created, %1 already.</source>
        <extracomment>%1 is how many categories exist, as &quot;3 exist&quot;</extracomment>
        <translation>
            <numerusform>%Ln catégorie sera créée, %1 déjà.</numerusform>
            <numerusform>%Ln catégories seront créées, %1 déjà.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+1"/>
        <source>%Ln exist</source>
        <comment>categories</comment>
        <translation>
            <numerusform>%Ln existe</numerusform>
            <numerusform>%Ln existent</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+2"/>
        <source>%Ln categories could not be looked up (%1). The upload looks again before it creates anything there.</source>
        <translation>
            <numerusform>%Ln catégorie n&apos;a pas pu être recherchée (%1). Le téléversement vérifie à nouveau avant d&apos;y créer quoi que ce soit.</numerusform>
            <numerusform>%Ln catégories n&apos;ont pas pu être recherchées (%1). Le téléversement vérifie à nouveau avant d&apos;y créer quoi que ce soit.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+7"/>
        <source>%Ln files will not be queued: where they would go, more than one category has the same name.</source>
        <translation>
            <numerusform>%Ln fichier ne sera pas mis en file d&apos;attente&#xa0;: là où il irait, plusieurs catégories portent le même nom.</numerusform>
            <numerusform>%Ln fichiers ne seront pas mis en file d&apos;attente&#xa0;: là où ils iraient, plusieurs catégories portent le même nom.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+37"/>
        <source>%Ln files not queued: %1 has more than one category named “%2” (ids %3)</source>
        <translation>
            <numerusform>%Ln fichier pas mis en file d&apos;attente&#xa0;: %1 contient plus d&apos;une catégorie nommée «&#xa0;%2&#xa0;» (identifiants %3)</numerusform>
            <numerusform>%Ln fichiers pas mis en file d&apos;attente&#xa0;: %1 contient plus d&apos;une catégorie nommée «&#xa0;%2&#xa0;» (identifiants %3)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ImportLogModel</name>
    <message>
        <location filename="../src/session/ImportLogModel.cpp" line="+478"/>
        <source>%1 bytes</source>
        <translation>%1 octets</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Category</source>
        <translation>Catégorie</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Uploaded</source>
        <extracomment>Column header: the date and time a file was uploaded</extracomment>
        <translation>Téléversé</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Server</source>
        <translation>Serveur</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
</context>
<context>
    <name>ImportQueue</name>
    <message>
        <location filename="../src/session/ImportQueue.cpp" line="+108"/>
        <source>The file could not be uploaded.</source>
        <translation>Le fichier n&apos;a pas pu être téléversé.</translation>
    </message>
</context>
<context>
    <name>LMBookmarkAdvancedViewController</name>
    <message>
        <location filename="../src/bookmarks/LMBookmarkAdvancedViewController.cpp" line="+38"/>
        <source>Advanced connection settings</source>
        <translation>Paramètres de connexion avancés</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Use a &amp;secure connection (HTTPS)</source>
        <translation>Utiliser une connexion &amp;sécurisée (HTTPS)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>As&amp;k for the password when connecting</source>
        <translation>Demander le mot de passe à la &amp;connexion</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Nothing is kept: each session asks, and forgets the password when it ends</source>
        <translation>Rien n&apos;est conservé&#xa0;: chaque session le demande et oublie le mot de passe à sa fin</translation>
    </message>
    <message>
        <location line="+7"/>
        <source> MB/s</source>
        <translation> Mo/s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No limit</source>
        <translation>Aucune limite</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The most the files of a batch may take of the line</source>
        <translation>La part maximale de la ligne que peuvent occuper les fichiers d&apos;un lot</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Application &amp;path:</source>
        <translation>&amp;Chemin de l&apos;application&#xa0;:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>P&amp;ort:</source>
        <translation>P&amp;ort&#xa0;:</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>&amp;Limit upload speed:</source>
        <translation>Limiter le &amp;débit de téléversement&#xa0;:</translation>
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
        <translation>Désactivé</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>How long a batch keeps sending again files that did not reach the server</source>
        <translation>Durée pendant laquelle un lot renvoie les fichiers qui n&apos;ont pas atteint le serveur</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>&amp;Retry failed uploads for:</source>
        <translation>Réessayer les &amp;envois échoués pendant&#xa0;:</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>How many files of a batch are sent at once; more helps a server that takes its time over each</source>
        <translation>Nombre de fichiers d&apos;un lot envoyés en même temps&#xa0;; davantage aide un serveur qui prend son temps pour chacun</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Si&amp;multaneous uploads:</source>
        <translation>Envois &amp;simultanés&#xa0;:</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Done</source>
        <translation>&amp;Terminé</translation>
    </message>
</context>
<context>
    <name>LMBookmarkEditViewController</name>
    <message>
        <location filename="../src/bookmarks/LMBookmarkEditViewController.cpp" line="+70"/>
        <source>New server bookmark</source>
        <translation>Nouveau signet de serveur</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Server bookmark</source>
        <translation>Signet de serveur</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>A name for this server</source>
        <translation>Un nom pour ce serveur</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>lumaro.example.com</source>
        <translation>lumaro.example.com</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>&amp;Name:</source>
        <translation>&amp;Nom&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Host:</source>
        <translation>&amp;Hôte&#xa0;:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&amp;User name:</source>
        <translation>Nom d&apos;&amp;utilisateur&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>&amp;Password:</source>
        <translation>&amp;Mot de passe&#xa0;:</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>&amp;Advanced…</source>
        <translation>&amp;Avancé…</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Application path, port and secure connection</source>
        <translation>Chemin de l&apos;application, port et connexion sécurisée</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>&amp;Delete</source>
        <translation>&amp;Supprimer</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Save</source>
        <translation>&amp;Enregistrer</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>The pasted address was taken apart: host %1, port %2, secure connection.</source>
        <translation>L&apos;adresse collée a été décomposée&#xa0;: hôte %1, port %2, connexion sécurisée.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The pasted address was taken apart: host %1, port %2, plain connection.</source>
        <translation>L&apos;adresse collée a été décomposée&#xa0;: hôte %1, port %2, connexion non chiffrée.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The pasted address was taken apart: host %1, port %2, secure connection, application path “%3”.</source>
        <translation>L&apos;adresse collée a été décomposée&#xa0;: hôte %1, port %2, connexion sécurisée, chemin de l&apos;application «&#xa0;%3&#xa0;».</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The pasted address was taken apart: host %1, port %2, plain connection, application path “%3”.</source>
        <translation>L&apos;adresse collée a été décomposée&#xa0;: hôte %1, port %2, connexion non chiffrée, chemin de l&apos;application «&#xa0;%3&#xa0;».</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>Could not be read from the keyring</source>
        <translation>N&apos;a pas pu être lu dans le trousseau</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Asked for when connecting</source>
        <translation>Demandé à la connexion</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Reading from the keyring…</source>
        <translation>Lecture dans le trousseau…</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>The bookmark could not be saved: the data store is not available</source>
        <translation>Le signet n&apos;a pas pu être enregistré&#xa0;: la base de données n&apos;est pas disponible</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The data store could not be opened when LumaroImporter started. Close the application, mend the cause that was reported then, and start it again.</source>
        <translation>La base de données n&apos;a pas pu être ouverte au démarrage de LumaroImporter. Quittez l&apos;application, corrigez la cause signalée alors, puis relancez-la.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The bookmark could not be saved.</source>
        <translation>Le signet n&apos;a pas pu être enregistré.</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>“%1” cannot be deleted while its session window is open.</source>
        <translation>«&#xa0;%1&#xa0;» ne peut pas être supprimé tant que sa fenêtre de session est ouverte.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Close the session window first, then delete the bookmark.</source>
        <translation>Fermez d&apos;abord la fenêtre de session, puis supprimez le signet.</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>The deletion could not be saved yet.</source>
        <translation>La suppression n&apos;a pas encore pu être enregistrée.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1
The bookmark is gone from the list and will be removed from the saved data with the next successful save.</source>
        <translation>%1
Le signet a disparu de la liste et sera retiré des données enregistrées au prochain enregistrement réussi.</translation>
    </message>
</context>
<context>
    <name>LMBookmarksViewController</name>
    <message>
        <location filename="../src/bookmarks/LMBookmarksViewController.cpp" line="+54"/>
        <source>Bookmarks</source>
        <translation>Signets</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>No server bookmarks yet.
Choose New to add the server you upload to.</source>
        <translation>Aucun signet de serveur pour le moment.
Choisissez «&#xa0;Nouveau&#xa0;» pour ajouter le serveur vers lequel vous téléversez.</translation>
    </message>
    <message>
        <location line="+122"/>
        <source>“%1” cannot be deleted while its session window is open.</source>
        <translation>«&#xa0;%1&#xa0;» ne peut pas être supprimé tant que sa fenêtre de session est ouverte.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Close the session window first, then delete the bookmark.</source>
        <translation>Fermez d&apos;abord la fenêtre de session, puis supprimez le signet.</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
</context>
<context>
    <name>LMBookmarksWindowController</name>
    <message>
        <location filename="../src/bookmarks/LMBookmarksWindowController.cpp" line="+24"/>
        <source>Connect</source>
        <extracomment>Tool bar buttons, acting on the selected bookmark (Connect, Edit) or adding one (New)</extracomment>
        <translation>Connecter</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Edit</source>
        <translation>Modifier</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>New</source>
        <translation>Nouveau</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Open a session window on the selected bookmark</source>
        <translation>Ouvrir une fenêtre de session sur le signet sélectionné</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Edit the selected bookmark</source>
        <translation>Modifier le signet sélectionné</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Add a server bookmark</source>
        <translation>Ajouter un signet de serveur</translation>
    </message>
    <message>
        <location line="+82"/>
        <source>%1 Meanwhile passwords stay in the application&apos;s own data file.</source>
        <translation>%1 En attendant, les mots de passe restent dans le fichier de données propre à l&apos;application.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The data file is readable by you only.</source>
        <translation>Vous seul pouvez lire le fichier de données.</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Server Bookmarks</source>
        <translation>Signets de serveurs</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Bookmarks</source>
        <translation>Signets</translation>
    </message>
    <message>
        <location line="+107"/>
        <source>Local Testing</source>
        <extracomment>The name a new server bookmark starts with</extracomment>
        <translation>Test local</translation>
    </message>
</context>
<context>
    <name>LMImportLogViewController</name>
    <message>
        <location filename="../src/session/LMImportLogViewController.cpp" line="+117"/>
        <source>Export Import Log</source>
        <translation>Exporter le journal d&apos;import</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>CSV files (*.csv)</source>
        <translation>Fichiers CSV (*.csv)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Import Log.csv</source>
        <translation>Journal d&apos;import.csv</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Exporting…</source>
        <translation>Exportation…</translation>
    </message>
    <message numerus="yes">
        <location line="+12"/>
        <source>%1 rows exported to %2</source>
        <extracomment>The plural follows the number of rows; %1 is that number with thousands separators</extracomment>
        <translation>
            <numerusform>%1 ligne exportée vers %2</numerusform>
            <numerusform>%1 lignes exportées vers %2</numerusform>
        </translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The log could not be exported.</source>
        <translation>Le journal n&apos;a pas pu être exporté.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1: %2</source>
        <extracomment>The file exported to: why it failed</extracomment>
        <translation>%1&#xa0;: %2</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>No uploads recorded</source>
        <translation>Aucun téléversement enregistré</translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%1 files</source>
        <extracomment>The plural follows the number of files; %1 is that number with thousands separators</extracomment>
        <translation>
            <numerusform>%1 fichier</numerusform>
            <numerusform>%1 fichiers</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%1 of %2 files</source>
        <translation>
            <numerusform>%1 sur %2 fichier</numerusform>
            <numerusform>%1 sur %2 fichiers</numerusform>
        </translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Search file, category or server</source>
        <translation>Rechercher un fichier, une catégorie ou un serveur</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Search the import log</source>
        <translation>Rechercher dans le journal d&apos;import</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Uploaded files</source>
        <translation>Fichiers téléversés</translation>
    </message>
    <message>
        <location line="+29"/>
        <location line="+12"/>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <location line="-1"/>
        <source>Show in Folder</source>
        <translation>Afficher dans le dossier</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Export…</source>
        <translation>Exporter…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Clear Log</source>
        <translation>Vider le journal</translation>
    </message>
</context>
<context>
    <name>LMImportLogWindowController</name>
    <message>
        <location filename="../src/session/LMImportLogWindowController.cpp" line="+23"/>
        <source>Import Log</source>
        <translation>Journal d&apos;import</translation>
    </message>
</context>
<context>
    <name>LMNewCategoryViewController</name>
    <message>
        <location filename="../src/session/LMNewCategoryViewController.cpp" line="+33"/>
        <source>New Category</source>
        <translation>Nouvelle catégorie</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+2"/>
        <source>Name of the category</source>
        <translation>Nom de la catégorie</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>The category is created at the top level.</source>
        <translation>La catégorie est créée au premier niveau.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The category is created inside %1.</source>
        <translation>La catégorie est créée dans %1.</translation>
    </message>
</context>
<context>
    <name>LMServerConnection</name>
    <message>
        <location filename="../src/connection/LMServerConnection.cpp" line="+149"/>
        <source>The session has no bookmark.</source>
        <translation>La session n&apos;a pas de signet.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The host “%1” cannot be used: %2</source>
        <translation>L&apos;hôte «&#xa0;%1&#xa0;» ne peut pas être utilisé&#xa0;: %2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The server address cannot be used.</source>
        <translation>L&apos;adresse du serveur ne peut pas être utilisée.</translation>
    </message>
    <message>
        <location line="+214"/>
        <source>The certificate of %1 was not trusted.</source>
        <translation>Le certificat de %1 n&apos;a pas été accepté.</translation>
    </message>
    <message>
        <location line="+46"/>
        <location line="+80"/>
        <source>The server answered HTTP %1 %2</source>
        <translation>Le serveur a répondu HTTP %1 %2</translation>
    </message>
    <message>
        <location line="-79"/>
        <location line="+403"/>
        <source>The server&apos;s answer was not understood.</source>
        <translation>La réponse du serveur n&apos;a pas été comprise.</translation>
    </message>
    <message>
        <location line="-320"/>
        <source>The server&apos;s answer is not text.</source>
        <translation>La réponse du serveur n&apos;est pas du texte.</translation>
    </message>
    <message>
        <location line="+7"/>
        <location line="+10"/>
        <source>The server&apos;s answer is no Lumaro identity.</source>
        <translation>La réponse du serveur n&apos;est pas une identité Lumaro.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The server gives no interface version.</source>
        <translation>Le serveur n&apos;indique aucune version d&apos;interface.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The server speaks interface version %1; this application speaks version %2.</source>
        <translation>Le serveur parle la version d&apos;interface %1&#xa0;; cette application parle la version %2.</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>The server lists no “Folder” category type.</source>
        <translation>Le serveur ne liste aucun type de catégorie «&#xa0;Folder&#xa0;».</translation>
    </message>
    <message>
        <location line="+260"/>
        <source>The server&apos;s answer is no list of categories.</source>
        <translation>La réponse du serveur n&apos;est pas une liste de catégories.</translation>
    </message>
    <message>
        <location filename="../src/connection/LMServerConnectionUpload.cpp" line="+83"/>
        <source>Could not start the upload: %1</source>
        <translation>Le téléversement n&apos;a pas pu démarrer&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Could not start the upload: the server gave no import status id (HTTP %1 %2)</source>
        <translation>Le téléversement n&apos;a pas pu démarrer&#xa0;: le serveur n&apos;a fourni aucun identifiant d&apos;état d&apos;import (HTTP %1 %2)</translation>
    </message>
    <message>
        <location line="+15"/>
        <location line="+110"/>
        <source>No category is selected.</source>
        <translation>Aucune catégorie n&apos;est sélectionnée.</translation>
    </message>
    <message>
        <location line="+224"/>
        <source>Stopped before the server answered.</source>
        <translation>Arrêté avant la réponse du serveur.</translation>
    </message>
    <message>
        <location line="+11"/>
        <location line="+38"/>
        <source>Stopped after %1 failures in a row: %2</source>
        <translation>Arrêté après %1 échecs consécutifs&#xa0;: %2</translation>
    </message>
    <message>
        <location line="-3"/>
        <location line="+60"/>
        <source>Gave up after %1 minutes without reaching the server: %2</source>
        <translation>Abandon après %1 minutes sans atteindre le serveur&#xa0;: %2</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>Stopped: the upload of %1 could not be recorded: %2</source>
        <translation>Arrêté&#xa0;: le téléversement de %1 n&apos;a pas pu être enregistré&#xa0;: %2</translation>
    </message>
</context>
<context>
    <name>LMSessionCategoryViewController</name>
    <message>
        <location filename="../src/session/LMSessionCategoryViewController.cpp" line="+80"/>
        <source>Choose the category that your files will be uploaded into.</source>
        <translation>Choisissez la catégorie dans laquelle vos fichiers seront téléversés.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Categories</source>
        <translation>Catégories</translation>
    </message>
    <message>
        <location line="+16"/>
        <location line="+200"/>
        <source>getting categories</source>
        <translation>chargement des catégories</translation>
    </message>
    <message>
        <location line="-196"/>
        <source>New Category…</source>
        <translation>Nouvelle catégorie…</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Create a category inside the selected one</source>
        <translation>Créer une catégorie dans celle qui est sélectionnée</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Set Category</source>
        <translation>Choisir la catégorie</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Upload into the selected category</source>
        <translation>Téléverser dans la catégorie sélectionnée</translation>
    </message>
    <message>
        <location line="+121"/>
        <source>Could not load the categories: %1</source>
        <translation>Les catégories n&apos;ont pas pu être chargées&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Could not load the sub-categories of %1: %2. Select it again to retry.</source>
        <translation>Les sous-catégories de %1 n&apos;ont pas pu être chargées&#xa0;: %2. Sélectionnez-la à nouveau pour réessayer.</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>No category selected</source>
        <translation>Aucune catégorie sélectionnée</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Selected: %1</source>
        <translation>Sélection&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+82"/>
        <source>The new category could not be created.</source>
        <translation>La nouvelle catégorie n&apos;a pas pu être créée.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The server did not accept the new category.</source>
        <translation>Le serveur n&apos;a pas accepté la nouvelle catégorie.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The server answered: %1</source>
        <translation>Le serveur a répondu&#xa0;: %1</translation>
    </message>
</context>
<context>
    <name>LMSessionInitialViewController</name>
    <message>
        <location filename="../src/session/LMSessionInitialViewController.cpp" line="+25"/>
        <source>This doesn&apos;t seem to be a Lumaro server. Please check its address.</source>
        <translation>Il ne semble pas s&apos;agir d&apos;un serveur Lumaro. Veuillez vérifier son adresse.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Cannot connect to this Lumaro server due to a version mismatch</source>
        <translation>Impossible de se connecter à ce serveur Lumaro&#xa0;: les versions ne correspondent pas</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Could not connect to server</source>
        <translation>Connexion au serveur impossible</translation>
    </message>
    <message>
        <location line="+56"/>
        <source>Connecting</source>
        <translation>Connexion</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>Connecting to %1</source>
        <translation>Connexion à %1</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>Reading the password…</source>
        <translation>Lecture du mot de passe…</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Waiting for the password…</source>
        <translation>En attente du mot de passe…</translation>
    </message>
    <message>
        <location line="+26"/>
        <location line="+17"/>
        <source>Checking the server…</source>
        <translation>Vérification du serveur…</translation>
    </message>
    <message>
        <location line="-14"/>
        <source>Looking for the Lumaro application…</source>
        <translation>Recherche de l&apos;application Lumaro…</translation>
    </message>
    <message>
        <location line="+40"/>
        <source>Loading the category types…</source>
        <translation>Chargement des types de catégories…</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Finding your last category…</source>
        <translation>Recherche de votre dernière catégorie…</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>Cannot open a session on %1</source>
        <translation>Impossible d&apos;ouvrir une session sur %1</translation>
    </message>
</context>
<context>
    <name>LMSessionUploadViewController</name>
    <message>
        <location filename="../src/session/LMSessionUploadViewController.cpp" line="+182"/>
        <source>Files cannot be queued: the local store is not available.</source>
        <translation>Impossible de mettre des fichiers en file d&apos;attente&#xa0;: la base de données locale n&apos;est pas disponible.</translation>
    </message>
    <message>
        <location line="+76"/>
        <location line="+101"/>
        <source>The queue could not be saved: %1</source>
        <translation>La file d&apos;attente n&apos;a pas pu être enregistrée&#xa0;: %1</translation>
    </message>
    <message numerus="yes">
        <location line="-90"/>
        <source>%Ln files were in the queue already.</source>
        <translation>
            <numerusform>%Ln fichier était déjà dans la file d&apos;attente.</numerusform>
            <numerusform>%Ln fichiers étaient déjà dans la file d&apos;attente.</numerusform>
        </translation>
    </message>
    <message>
        <location line="+131"/>
        <source>Looking for files uploaded before… %1%</source>
        <translation>Recherche des fichiers déjà téléversés… %1 %</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Looking for files uploaded before…</source>
        <translation>Recherche des fichiers déjà téléversés…</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+14"/>
        <location line="+368"/>
        <source>Start Upload</source>
        <translation>Lancer le téléversement</translation>
    </message>
    <message>
        <location line="-342"/>
        <source>Every file was uploaded before; nothing to send.</source>
        <translation>Tous les fichiers ont déjà été téléversés&#xa0;; rien à envoyer.</translation>
    </message>
    <message>
        <location line="+149"/>
        <source>Creating categories… %L1 of %L2</source>
        <translation>Création des catégories… %L1 sur %L2</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%L1 of %L2</source>
        <extracomment>Files done of the batch&apos;s files</extracomment>
        <translation>%L1 sur %L2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 · %L2 in flight</source>
        <extracomment>%1 is &quot;5 of 20&quot;; %L2 files are being sent at the moment</extracomment>
        <translation>%1 · %L2 en cours</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>uploading asset %L1 of %L2</source>
        <translation>téléversement du fichier %L1 sur %L2</translation>
    </message>
    <message numerus="yes">
        <location line="+39"/>
        <source>%Ln files could not be uploaded</source>
        <translation>
            <numerusform>%Ln fichier n&apos;a pas pu être téléversé</numerusform>
            <numerusform>%Ln fichiers n&apos;ont pas pu être téléversés</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+2"/>
        <source>%Ln files may have arrived without an answer; they are not sent again without asking</source>
        <translation>
            <numerusform>%Ln fichier est peut-être arrivé sans réponse&#xa0;; il n&apos;est pas renvoyé sans demander</numerusform>
            <numerusform>%Ln fichiers sont peut-être arrivés sans réponse&#xa0;; ils ne sont pas renvoyés sans demander</numerusform>
        </translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The upload stopped</source>
        <translation>Le téléversement s&apos;est arrêté</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>Upload to %1 stopped</source>
        <translation>Téléversement vers %1 arrêté</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%L1 uploaded; %2</source>
        <translation>Téléversés&#xa0;: %L1&#xa0;; %2</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>%L1 uploaded, %L2 failed</source>
        <translation>Téléversés&#xa0;: %L1, en échec&#xa0;: %L2</translation>
    </message>
    <message numerus="yes">
        <location line="+1"/>
        <source>%Ln files uploaded to %1</source>
        <translation>
            <numerusform>%Ln fichier téléversé dans %1</numerusform>
            <numerusform>%Ln fichiers téléversés dans %1</numerusform>
        </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Upload to %1 finished</source>
        <translation>Téléversement vers %1 terminé</translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Goes to %1</source>
        <translation>Va dans %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Uploaded; not yet recorded in the import log</source>
        <translation>Téléversé&#xa0;; pas encore inscrit au journal d&apos;import</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>May have arrived: %1</source>
        <translation>Peut-être arrivé&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Sending</source>
        <extracomment>A queued file&apos;s state: it is being sent now</extracomment>
        <translation>En cours d&apos;envoi</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Upload failed: %1</source>
        <translation>Échec du téléversement&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>May have arrived (not sent again without asking): %1</source>
        <translation>Peut-être arrivé (pas renvoyé sans demander)&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+36"/>
        <source>Stop Upload</source>
        <translation>Arrêter le téléversement</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>Waiting for the network to come back…</source>
        <translation>En attente du retour du réseau…</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Paused after failures in a row; checking the server again in %1. %2</source>
        <translation>En pause après plusieurs échecs consécutifs&#xa0;; nouvelle vérification du serveur dans %1. %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Sending %1 again in %2 (try %3: %4)</source>
        <translation>Nouvel envoi de %1 dans %2 (essai %3&#xa0;: %4)</translation>
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
            <numerusform>%n élément n&apos;a pas été ajouté&#xa0;: %1.</numerusform>
            <numerusform>%n éléments n&apos;ont pas été ajoutés&#xa0;: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+6"/>
        <source>%n items were not added: %1; and %2 more.</source>
        <extracomment>%1 is the list of the first items; %n more are listed under the button</extracomment>
        <translation>
            <numerusform>%n élément n&apos;a pas été ajouté&#xa0;: %1&#xa0;; et %2 de plus.</numerusform>
            <numerusform>%n éléments n&apos;ont pas été ajoutés&#xa0;: %1&#xa0;; et %2 de plus.</numerusform>
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
            <numerusform>…et %n autre, listé sous «&#xa0;Afficher les détails&#xa0;».</numerusform>
            <numerusform>…et %n autres, listés sous «&#xa0;Afficher les détails&#xa0;».</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <location line="+4"/>
        <source>%n items were not added</source>
        <translation>
            <numerusform>%n élément n&apos;a pas été ajouté</numerusform>
            <numerusform>%n éléments n&apos;ont pas été ajoutés</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PasswordSheet</name>
    <message>
        <location filename="../src/session/PasswordSheet.cpp" line="+14"/>
        <source>Password</source>
        <translation>Mot de passe</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>&lt;b&gt;Password for %1 on %2&lt;/b&gt;</source>
        <translation>&lt;b&gt;Mot de passe de %1 sur %2&lt;/b&gt;</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>&amp;Password:</source>
        <translation>&amp;Mot de passe&#xa0;:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Used for this session only; it is not kept.</source>
        <translation>Utilisé pour cette session seulement&#xa0;; il n&apos;est pas conservé.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>&amp;Connect</source>
        <translation>&amp;Connecter</translation>
    </message>
</context>
<context>
    <name>PersistentStore</name>
    <message>
        <location filename="../src/store/PersistentStore.cpp" line="+19"/>
        <source>Failed to initialize the application&apos;s saved data</source>
        <translation>Impossible d&apos;initialiser les données enregistrées de l&apos;application</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>There was an error creating or loading the application&apos;s saved data.</source>
        <translation>Une erreur s&apos;est produite lors de la création ou du chargement des données enregistrées de l&apos;application.</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Expected a folder to store application data, found a file %1.</source>
        <translation>Un dossier était attendu pour les données de l&apos;application, mais un fichier a été trouvé&#xa0;: %1.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Could not create the folder %1: %2</source>
        <translation>Le dossier %1 n&apos;a pas pu être créé&#xa0;: %2</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>The data folder %1 cannot be written: %2</source>
        <translation>Le dossier de données %1 ne peut pas être écrit&#xa0;: %2</translation>
    </message>
</context>
<context>
    <name>ProxyRule</name>
    <message>
        <location filename="../src/connection/ProxyRule.cpp" line="+158"/>
        <source>The proxy “%1” is of a kind this application cannot use (only http://, socks5:// and socks5h://).</source>
        <translation>Le proxy «&#xa0;%1&#xa0;» est d&apos;un type que cette application ne sait pas utiliser (seulement http://, socks5:// et socks5h://).</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>The proxy “%1” is no address.</source>
        <translation>Le proxy «&#xa0;%1&#xa0;» n&apos;est pas une adresse.</translation>
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
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>SecretStore</name>
    <message>
        <location filename="../src/store/SecretStore.cpp" line="+135"/>
        <source>then start the program again.</source>
        <translation>puis relancez le programme.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Unlocking the desktop keyring was declined. Unlock it when asked, %1</source>
        <translation>Le déverrouillage du trousseau de clés a été refusé. Déverrouillez-le quand il vous est demandé, %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>There is no desktop session bus, so no keyring can be reached. Start the program from a desktop session.</source>
        <translation>Il n&apos;y a pas de bus de session du bureau, aucun trousseau de clés n&apos;est donc joignable. Lancez le programme depuis une session de bureau.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>The desktop keyring refused: %1.</source>
        <translation>Le trousseau de clés a refusé&#xa0;: %1.</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>it gave no reason</source>
        <translation>il n&apos;a donné aucune raison</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>No keyring service is running. Install or start one (GNOME Keyring, or KWallet with its Secret Service), %1</source>
        <translation>Aucun service de trousseau de clés n&apos;est lancé. Installez-en ou lancez-en un (GNOME Keyring, ou KWallet avec son Secret Service), %1</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>The desktop keyring has no default collection. Create a keyring and make it the default (in Passwords and Keys, for example), %1</source>
        <translation>Le trousseau de clés n&apos;a pas de collection par défaut. Créez un trousseau et définissez-le par défaut (dans Mots de passe et clés, par exemple), %1</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>The default keyring is locked. Unlock it (in Passwords and Keys, for example), %1</source>
        <translation>Le trousseau de clés par défaut est verrouillé. Déverrouillez-le (dans Mots de passe et clés, par exemple), %1</translation>
    </message>
</context>
<context>
    <name>ServerAddress</name>
    <message>
        <location filename="../src/connection/ServerAddress.cpp" line="+56"/>
        <source>Enter the server&apos;s host name or address.</source>
        <translation>Saisissez le nom d&apos;hôte ou l&apos;adresse du serveur.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>An IPv6 address goes in brackets: [%1]</source>
        <translation>Une adresse IPv6 se met entre crochets&#xa0;: [%1]</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The host is only the server&apos;s name or address, without a scheme or port; the port belongs in the advanced settings. A whole address pasted here is taken apart.</source>
        <translation>L&apos;hôte est seulement le nom ou l&apos;adresse du serveur, sans schéma ni port&#xa0;; le port se règle dans les paramètres avancés. Une adresse complète collée ici est décomposée.</translation>
    </message>
</context>
<context>
    <name>StoreFile</name>
    <message>
        <location filename="../src/store/StoreFile.cpp" line="+155"/>
        <source>The data store is in use by another program: %1</source>
        <translation>La base de données est utilisée par un autre programme&#xa0;: %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The data store %1 cannot be written: %2</source>
        <translation>Impossible d&apos;écrire dans la base de données %1&#xa0;: %2</translation>
    </message>
    <message>
        <location line="+136"/>
        <source>The store file was written by a newer version (schema %1)</source>
        <translation>Le fichier de données a été écrit par une version plus récente (schéma %1)</translation>
    </message>
</context>
<context>
    <name>TransportFailure</name>
    <message>
        <location filename="../src/connection/TransportFailure.cpp" line="+35"/>
        <source>Cannot reach %1: connection refused</source>
        <translation>Impossible de joindre %1&#xa0;: connexion refusée</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cannot reach %1: host not found</source>
        <translation>Impossible de joindre %1&#xa0;: hôte introuvable</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The certificate of %1 is not trusted: %2</source>
        <translation>Le certificat de %1 n&apos;est pas reconnu&#xa0;: %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Cannot reach %1: no secure connection could be made (%2)</source>
        <translation>Impossible de joindre %1&#xa0;: aucune connexion sécurisée n&apos;a pu être établie (%2)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The proxy %1 refused the connection</source>
        <translation>Le proxy %1 a refusé la connexion</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cannot reach the proxy %1: host not found</source>
        <translation>Impossible de joindre le proxy %1&#xa0;: hôte introuvable</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The proxy %1 closed the connection</source>
        <translation>Le proxy %1 a fermé la connexion</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The proxy %1 did not answer in time</source>
        <translation>Le proxy %1 n&apos;a pas répondu à temps</translation>
    </message>
    <message>
        <location line="+5"/>
        <location line="+6"/>
        <source>The connection closed before the server answered.</source>
        <translation>La connexion a été fermée avant la réponse du serveur.</translation>
    </message>
    <message>
        <location line="-2"/>
        <source>The connection closed before the server&apos;s answer was complete.</source>
        <translation>La connexion a été fermée avant que la réponse du serveur soit complète.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Cannot reach %1: no connection within %2 seconds</source>
        <translation>Impossible de joindre %1&#xa0;: aucune connexion en %2 secondes</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Cannot reach the proxy %1: no connection within %2 seconds</source>
        <translation>Impossible de joindre le proxy %1&#xa0;: aucune connexion en %2 secondes</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Nothing could be sent to the server for %1 seconds</source>
        <translation>Rien n&apos;a pu être envoyé au serveur pendant %1 secondes</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The server did not answer within %1 seconds</source>
        <translation>Le serveur n&apos;a pas répondu en %1 secondes</translation>
    </message>
</context>
<context>
    <name>UploadPreviewPane</name>
    <message>
        <location filename="../src/session/UploadPreviewPane.cpp" line="+50"/>
        <source>Loading preview…</source>
        <translation>Chargement de l&apos;aperçu…</translation>
    </message>
    <message>
        <location line="+43"/>
        <source>No file selected</source>
        <translation>Aucun fichier sélectionné</translation>
    </message>
</context>
<context>
    <name>UploadProgressPanel</name>
    <message>
        <location filename="../src/session/UploadProgressPanel.cpp" line="+34"/>
        <source>All files</source>
        <translation>Tous les fichiers</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Progress of this file</source>
        <translation>Progression de ce fichier</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Progress of all files</source>
        <translation>Progression de tous les fichiers</translation>
    </message>
    <message>
        <location line="+55"/>
        <source>Starting…</source>
        <translation>Démarrage…</translation>
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
        <translation>%1 sur %2</translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%L1 of %Ln files</source>
        <translation>
            <numerusform>%L1 sur %Ln fichier</numerusform>
            <numerusform>%L1 sur %Ln fichiers</numerusform>
        </translation>
    </message>
    <message>
        <location line="+25"/>
        <source>Measuring speed…</source>
        <translation>Mesure du débit…</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Stopping after this file…</source>
        <translation>Arrêt après ce fichier…</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Waiting for the server… · about %1 left</source>
        <translation>En attente du serveur… · environ %1 restant</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Waiting for the server…</source>
        <translation>En attente du serveur…</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>No data is moving…</source>
        <translation>Aucune donnée ne circule…</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1/s · about %2 left</source>
        <extracomment>A speed, as &quot;1.2 MB/s&quot;, and a duration</extracomment>
        <translation>%1/s · environ %2 restant</translation>
    </message>
</context>
<context>
    <name>UploadViewWidget</name>
    <message>
        <location filename="../src/session/UploadViewWidget.cpp" line="+32"/>
        <source>Choose…</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Start Upload</source>
        <translation>Lancer le téléversement</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Back to Categories</source>
        <translation>Retour aux catégories</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Retry Now</source>
        <translation>Réessayer maintenant</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Show List…</source>
        <translation>Afficher la liste…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Dismiss</source>
        <translation>Masquer</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Stop Upload</source>
        <translation>Arrêter le téléversement</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Drop files or folders here to queue them.</source>
        <translation>Déposez ici des fichiers ou des dossiers pour les mettre en file d&apos;attente.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>No category selected</source>
        <translation>Aucune catégorie sélectionnée</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Why the upload failed</source>
        <translation>Pourquoi le téléversement a échoué</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Lists every item that was not added, with why</source>
        <translation>Liste chaque élément qui n&apos;a pas été ajouté, avec la raison</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Dismiss the list of items not added</source>
        <translation>Masquer la liste des éléments non ajoutés</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Files to upload</source>
        <translation>Fichiers à téléverser</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Upload status</source>
        <translation>État du téléversement</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Upload into:</source>
        <translation>Téléverser dans&#xa0;:</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>File:</source>
        <translation>Fichier&#xa0;:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Failed:</source>
        <translation>Échec&#xa0;:</translation>
    </message>
</context>
</TS>
