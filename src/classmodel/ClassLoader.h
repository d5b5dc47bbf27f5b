#pragma once

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class Class;

// Turns class names into read-only Class views and owns every view it has made.
//
// Class names are class descriptor texts ('Ljava/lang/Object;'); they are the keys of the cache
// and of every map that a loader returns, taken as passed, never normalised.
//
// Contract for clients: optionally loadAllClasses() and then getAllClasses(); any number of
// loadClass(); delete through the base pointer. Pointers handed out by loadClass and
// getAllClasses stay valid until the loader that owns them is deleted. A loader and everything
// it owns are used by one thread at a time.
class ClassLoader
{
public:
    ClassLoader() = default;
    // Deletes every cached class.
    virtual ~ClassLoader();

    // Defines every class that the loader's source holds; the base does nothing.
    virtual void loadAllClasses();
    // The classes defined so far; the base returns the cache in key order. Keys may repeat in
    // maps that merge several loaders.
    virtual QMap<QString, Class*> getAllClasses() const;
    // A new view for the class named `name`, or null when the source has no such class or it
    // cannot be used. Neither consults nor fills the cache; the caller owns the result.
    virtual Class* defineClass(const QString& name) = 0;
    // Says that the classes of `names` will soon be looked up with loadClass, after those of the
    // previous call. A loader may work them out ahead, on other threads, as long as every lookup
    // then gives and logs just what it would have without the hint. The base ignores it.
    virtual void prefetchClasses(const QStringList& names);

    // The cached class of `name`, or the one defineClass makes now, which is then cached and
    // owned by this loader. Null when not found; a null result is not cached, so a later call
    // looks again.
    Class* loadClass(const QString& name);
    static ClassLoader* create(const class Classpath& classpath);

protected:
    // A hash: lookups far outnumber the listings, which sort it once each.
    QHash<QString, Class*> cache;

private:
    Q_DISABLE_COPY(ClassLoader)
};
