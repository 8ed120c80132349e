INSERT INTO brz_kik_izleme (muta, donem, unvan) VALUES
    -- two names in the newest period: the last in byte order
    ('1', '2401', 'Alfa'), ('1', '2402', 'Beta'), ('1', '2402', 'Gama'),
    -- a blank name is none; names are trimmed
    ('2', '2402', '   '), ('2', '2401', ' Delta ');
