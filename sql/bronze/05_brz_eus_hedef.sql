-- Early-warning target lists.
CREATE TABLE brz_eus_hedef (
    muta  VARCHAR,
    donem VARCHAR
);
