#pragma once
// Temporary: the server parameters as the database layer will declare them.
#include <QString>
namespace db {
struct ServerParams
{
    QString host;
    int port = 0;
    QString database;
    QString user;
    QString service;
    QString describe() const { return host; }
};
} // namespace db
